#!/usr/bin/python3
"""A real SMTP server for the tests: aiosmtpd with AUTH LOGIN for one user.

Prints the port it listens on as the first line of its output, then keeps
running until its standard input closes (so it never outlives the test that
started it) or it is terminated.

Each message it accepts is saved in the given directory as <n>.eml (the
content's bytes exactly as the server kept them) and <n>.envelope (the line
"MAIL FROM:<sender>" and one line "RCPT TO:<recipient>" per recipient). The
.envelope file appears last, so a test that sees it can read both; before it,
<n>.tls holds "resumed" or "new" for a message that came inside TLS (whether
the client resumed a session of an earlier connection) and nothing otherwise. Every
authentication attempt is appended to auth.log as "ok|fail <login> <password>"
with login and password as the hex of their bytes.

With --tls starttls the server offers STARTTLS and requires it before any
mail command, and with aiosmtpd's default offers AUTH only inside TLS; with
--tls implicit every connection is TLS from its start (port 465 style). Both
take the certificate and key files given with --cert and --key.
"""

import argparse
import os
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class SavingHandler:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0
        self.lock = threading.Lock()

    def _write(self, name, data):
        path = os.path.join(self.directory, name)
        with open(path + ".part", "wb") as out:
            out.write(data)
        os.replace(path + ".part", path)

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            number = self.count
        self._write(f"{number}.eml", envelope.original_content)
        tls = server.transport.get_extra_info("ssl_object")
        self._write(f"{number}.tls",
                    b"" if tls is None else b"resumed" if tls.session_reused else b"new")
        lines = [f"MAIL FROM:<{envelope.mail_from.strip('<>')}>"]
        lines += [f"RCPT TO:<{rcpt}>" for rcpt in envelope.rcpt_tos]
        self._write(f"{number}.envelope", ("\n".join(lines) + "\n").encode("utf-8"))
        return "250 2.0.0 Message accepted for delivery"


class OneUserAuthenticator:
    def __init__(self, directory, user, password):
        self.log = os.path.join(directory, "auth.log")
        self.user = user
        self.password = password

    def __call__(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        ok = auth_data.login == self.user and auth_data.password == self.password
        with open(self.log, "a", encoding="ascii") as out:
            out.write(f"{'ok' if ok else 'fail'} {auth_data.login.hex()} "
                      f"{auth_data.password.hex()}\n")
        return AuthResult(success=ok, handled=False)


class FreePortController(Controller):
    """A Controller that may be asked for port 0 and then tells the port it got."""

    def _trigger_server(self):
        self.port = self.server.sockets[0].getsockname()[1]
        super()._trigger_server()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--dir", required=True)
    parser.add_argument("--tls", choices=("none", "starttls", "implicit"), default="none")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    tls = {}
    if args.tls != "none":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        if args.tls == "starttls":
            tls = {"tls_context": context, "require_starttls": True}
        else:
            # aiosmtpd 1.4 does not count a TLS listener as TLS when it comes
            # to AUTH (it looks for STARTTLS only); the connection is
            # encrypted from its first byte, so AUTH may be offered.
            tls = {"ssl_context": context, "auth_require_tls": False}
    else:
        tls = {"auth_require_tls": False}

    controller = FreePortController(
        SavingHandler(args.dir),
        hostname=args.host,
        port=args.port,
        server_hostname="sink.test",
        ident="ESMTP test sink",
        authenticator=OneUserAuthenticator(args.dir, args.user.encode("utf-8"),
                                           args.password.encode("utf-8")),
        **tls,
    )
    controller.start()
    print(controller.port, flush=True)
    try:
        sys.stdin.read()
    except KeyboardInterrupt:
        pass
    controller.stop()


if __name__ == "__main__":
    main()
