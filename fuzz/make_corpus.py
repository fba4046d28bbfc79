#!/usr/bin/python3
"""Writes the seed streams of fuzz_replies into fuzz/corpus/seeds.

Each seed is one run: a byte of options (bit 0 with user name and password,
bits 1-2 how the stream ends when the dialogue has not: 0 close, 1 reply
time-out, 2 socket error, 3 close and a late error; bit 3 the server never
stops sending its last piece), then the server's bytes as pieces, each a
length byte and that many bytes. The fuzzer finds its way
from these to the corners; its own finds go to fuzz/corpus/found.
"""

import os
import sys

WITH_AUTH = 1
END_CLOSE, END_TIMEOUT, END_ERROR, END_CLOSE_ERROR = 0, 2, 4, 6
ENDLESS = 8  # the last piece comes again and again

GREETING = b"220 mx.example.org ESMTP\r\n"
PLAIN = [GREETING, b"250 mx.example.org\r\n", b"250 2.1.0 Ok\r\n", b"250 2.1.5 Ok\r\n",
         b"354 End data with <CR><LF>.<CR><LF>\r\n", b"250 2.0.0 Ok: queued as 1234\r\n",
         b"221 2.0.0 Bye\r\n"]
AUTH = [GREETING, b"250 mx.example.org\r\n", b"334 VXNlcm5hbWU6\r\n", b"334 UGFzc3dvcmQ6\r\n",
        b"235 2.7.0 Authentication successful\r\n"] + PLAIN[2:]


def pieces(chunks):
    """Each chunk one arrival; chunks over 255 bytes become several."""
    out = bytearray()
    for chunk in chunks:
        if not chunk:
            out += b"\x00"
        while chunk:
            part, chunk = chunk[:255], chunk[255:]
            out += bytes([len(part)]) + part
    return bytes(out)


def byte_by_byte(replies):
    return [bytes([b]) for reply in replies for b in reply]


def seeds():
    yield "plain-dialogue", END_CLOSE, PLAIN
    yield "auth-dialogue", WITH_AUTH | END_CLOSE, AUTH
    yield "auth-ehlo-retry", WITH_AUTH | END_CLOSE, AUTH[:2] + [
        b"503 5.5.1 Error: send HELO/EHLO first\r\n", b"250-mx.example.org\r\n250 AUTH LOGIN\r\n"
    ] + AUTH[2:]
    yield "auth-ehlo-refused-twice", WITH_AUTH | END_TIMEOUT, AUTH[:2] + [
        b"503 EHLO first\r\n", b"250 ok\r\n", b"502 no\r\n"]
    yield "auth-535", WITH_AUTH | END_CLOSE, AUTH[:4] + [b"535 5.7.8 invalid\r\n"]
    yield "byte-by-byte", END_CLOSE, byte_by_byte(PLAIN)
    yield "byte-by-byte-auth", WITH_AUTH | END_ERROR, byte_by_byte(AUTH)
    yield "multi-line", END_CLOSE, [
        b"220-mx.example.org ESMTP\r\n220-no UCE\r\n220 ready\r\n",
        b"250-mx.example.org\r\n250-PIPELINING\r\n250-SIZE 10240000\r\n250 8BITMIME\r\n"
    ] + PLAIN[2:]
    yield "two-replies-at-once", END_CLOSE, [GREETING + b"250 eager\r\n"]
    yield "354-and-550", END_CLOSE, PLAIN[:4] + [b"354 go\r\n550 no\r\n"]
    yield "greeting-554", END_CLOSE, [b"554 5.7.1 go away\r\n"]
    yield "bare-lf", END_CLOSE, [r.replace(b"\r\n", b"\n") for r in PLAIN]
    yield "bare-codes", END_TIMEOUT, [b"220\r\n", b"250\r\n", b"250\r\n", b"250\r\n", b"354\r\n",
                                      b"250\r\n", b"221\r\n"]
    yield "binary-garbage", END_ERROR, [b"220 \x00\x01\x1b[31m\xff\xfe\xc3(\r\n", b"\x00" * 40,
                                        b"\r\n"]
    yield "ssh-banner", END_CLOSE, [b"SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n"]
    yield "after-quit-accepted", END_CLOSE_ERROR, PLAIN[:-1] + [b"250 ok\r\n"]
    yield "after-quit-silence", END_TIMEOUT, PLAIN[:-1]
    yield "after-quit-error", END_ERROR, PLAIN[:-1]
    yield "unfinished-line", END_TIMEOUT, [GREETING, b"250 half a li"]
    yield "runaway-continuation", ENDLESS | END_CLOSE, [GREETING, b"250-" + b"y" * 58 + b"\r\n"]
    yield "runaway-line", ENDLESS | END_TIMEOUT, [b"220 ", b"x" * 200]
    yield "runaway-after-quit", ENDLESS | END_CLOSE, PLAIN[:-1] + [b"221-bye\r\n"]


def main():
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "seeds")
    os.makedirs(target, exist_ok=True)
    for name, options, chunks in seeds():
        with open(os.path.join(target, name), "wb") as seed:
            seed.write(bytes([options]) + pieces(chunks))
    return 0


if __name__ == "__main__":
    sys.exit(main())
