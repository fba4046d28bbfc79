#!/usr/bin/python3
"""The mail server the benchmark talks to: aiosmtpd on three free loopback ports.

    smtp_server.py --cert FILE --key FILE [--greeting-delay 5]

The first port answers at once and accepts AUTH LOGIN without TLS; the second
does the same but waits before its greeting, so that a client can be watched
while it has nothing to do. The third offers STARTTLS with the certificate and
key given and requires it before AUTH LOGIN and before any mail command. All
accept one fixed user and throw the messages away after counting them. When
all three listen, one line goes to stdout:

    READY <port> <slow-port> <starttls-port>

Each line read on stdin is answered with the counts so far, so that the caller
can tell that a run delivered its message and how:

    COUNTS <plain> <starttls> <unauthenticated>

plain: delivered after AUTH on an unencrypted connection; starttls: after
STARTTLS and AUTH; unauthenticated: delivered without AUTH. The server runs
until stdin closes or it is terminated; it then prints the number of messages
accepted as "DELIVERED <n>" on stdout.
"""

import argparse
import asyncio
import logging
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = b"bench"
PASSWORD = b"bench-secret"


class CountingHandler:
    def __init__(self):
        self.counts = {"plain": 0, "starttls": 0, "unauthenticated": 0}

    @property
    def delivered(self):
        return sum(self.counts.values())

    async def handle_DATA(self, server, session, envelope):
        if not session.authenticated:
            self.counts["unauthenticated"] += 1
        elif session.ssl is not None:
            self.counts["starttls"] += 1
        else:
            self.counts["plain"] += 1
        return "250 2.0.0 Ok: queued"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data == (USER, PASSWORD)
    # A refusal is left to the server, which answers 535 for it.
    return AuthResult(success=ok, handled=ok)


class SlowGreetingSMTP(SMTP):
    """An aiosmtpd session that keeps the client waiting before it greets."""

    greeting_delay = 0.0

    async def _handle_client(self):
        await asyncio.sleep(self.greeting_delay)
        await super()._handle_client()


async def serve(greeting_delay, cert, key):
    loop = asyncio.get_running_loop()
    handler = CountingHandler()
    SlowGreetingSMTP.greeting_delay = greeting_delay
    tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls_context.load_cert_chain(cert, key)

    def factory(smtp_class, **tls):
        options = tls or {"auth_require_tls": False}
        return lambda: smtp_class(handler, hostname="bench.localhost",
                                  authenticator=authenticate, **options)

    # Port 0 picks a free port. Letting asyncio make the sockets also gives them
    # TCP_NODELAY, as aiosmtpd's own controller does; without it a multi-line
    # reply stalls on delayed acknowledgements.
    fast = await loop.create_server(factory(SMTP), host="127.0.0.1", port=0)
    slow = await loop.create_server(factory(SlowGreetingSMTP), host="127.0.0.1", port=0)
    # aiosmtpd's default: AUTH only inside TLS.
    starttls = await loop.create_server(
        factory(SMTP, tls_context=tls_context, require_starttls=True, auth_require_tls=True),
        host="127.0.0.1", port=0)
    servers = (fast, slow, starttls)
    ports = [server.sockets[0].getsockname()[1] for server in servers]
    print(f"READY {ports[0]} {ports[1]} {ports[2]}", flush=True)

    # The caller asks for the counts with a line and ends the server by
    # closing our stdin. Read from the descriptor itself: a buffered reader
    # could keep a line the selector would then never report.
    stdin_closed = loop.create_future()
    pending = bytearray()

    def on_input():
        data = os.read(sys.stdin.fileno(), 4096)
        if not data:
            if not stdin_closed.done():
                stdin_closed.set_result(None)
            return
        pending.extend(data)
        while b"\n" in pending:
            del pending[:pending.index(b"\n") + 1]
            counts = handler.counts
            print(f"COUNTS {counts['plain']} {counts['starttls']} {counts['unauthenticated']}",
                  flush=True)

    loop.add_reader(sys.stdin.fileno(), on_input)
    try:
        await stdin_closed
    finally:
        loop.remove_reader(sys.stdin.fileno())
        for server in servers:
            server.close()
        print(f"DELIVERED {handler.delivered}", flush=True)


def main():
    # aiosmtpd 1.4 logs a warning about its own use of a deprecated attribute
    # on every login; the benchmark's output has no room for it.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--greeting-delay", type=float, default=5.0,
                        help="seconds the slow port waits before its greeting")
    parser.add_argument("--cert", required=True,
                        help="certificate (PEM) of the STARTTLS port")
    parser.add_argument("--key", required=True, help="its private key (PEM)")
    args = parser.parse_args()
    try:
        asyncio.run(serve(args.greeting_delay, args.cert, args.key))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
