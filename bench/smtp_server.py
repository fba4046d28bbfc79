#!/usr/bin/python3
"""The mail server the benchmark talks to: aiosmtpd on two free loopback ports.

The first port answers at once; the second waits before its greeting, so that
a client can be watched while it has nothing to do. Both accept AUTH LOGIN
without TLS for one fixed user and throw the messages away after counting
them. When both listen, one line goes to stdout:

    READY <port> <slow-port>

The server runs until stdin closes or it is terminated; it then prints the
number of messages accepted as "DELIVERED <n>" on stdout.
"""

import argparse
import asyncio
import logging
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = b"bench"
PASSWORD = b"bench-secret"


class CountingHandler:
    def __init__(self):
        self.delivered = 0

    async def handle_DATA(self, server, session, envelope):
        self.delivered += 1
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


async def serve(greeting_delay):
    loop = asyncio.get_running_loop()
    handler = CountingHandler()
    SlowGreetingSMTP.greeting_delay = greeting_delay

    def factory(smtp_class):
        return lambda: smtp_class(handler, hostname="bench.localhost",
                                  auth_require_tls=False, authenticator=authenticate)

    # Port 0 picks a free port. Letting asyncio make the sockets also gives them
    # TCP_NODELAY, as aiosmtpd's own controller does; without it a multi-line
    # reply stalls on delayed acknowledgements.
    fast = await loop.create_server(factory(SMTP), host="127.0.0.1", port=0)
    slow = await loop.create_server(factory(SlowGreetingSMTP), host="127.0.0.1", port=0)
    ports = [server.sockets[0].getsockname()[1] for server in (fast, slow)]
    print(f"READY {ports[0]} {ports[1]}", flush=True)

    # The caller ends the server by closing our stdin.
    stdin_closed = loop.create_future()
    loop.add_reader(sys.stdin.fileno(), lambda: stdin_closed.done() or
                    (not sys.stdin.buffer.read1(4096) and stdin_closed.set_result(None)))
    try:
        await stdin_closed
    finally:
        loop.remove_reader(sys.stdin.fileno())
        fast.close()
        slow.close()
        print(f"DELIVERED {handler.delivered}", flush=True)


def main():
    # aiosmtpd 1.4 logs a warning about its own use of a deprecated attribute
    # on every login; the benchmark's output has no room for it.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--greeting-delay", type=float, default=5.0,
                        help="seconds the slow port waits before its greeting")
    args = parser.parse_args()
    try:
        asyncio.run(serve(args.greeting_delay))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
