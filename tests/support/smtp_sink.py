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

With --dmarc-reject DOMAIN (repeatable) the server refuses a message whose
From header is at that domain or below it at the end of the data, in the words
of OpenDMARC with RejectFailures: a receiver that enforces the domain's
p=reject for mail that comes without SPF or DKIM passing. With --xoauth2 TOKEN
it offers AUTH XOAUTH2 as well and takes exactly that bearer token for the
user; a wrong one gets the JSON error challenge and, after the client's empty
answer, 535. Those attempts go to auth.log as "xoauth2 ok|fail <login hex>
<hex of the answer to the challenge>".
"""

import argparse
import base64
import collections
import email
import email.policy
import json
import os
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword


class SavingHandler:
    def __init__(self, directory, dmarc_reject=()):
        self.directory = directory
        self.dmarc_reject = [domain.lower() for domain in dmarc_reject]
        self.count = 0
        self.lock = threading.Lock()

    def _dmarc_refusal(self, content):
        """OpenDMARC's reply when the From domain falls under a p=reject policy."""
        message = email.message_from_bytes(content, policy=email.policy.default)
        addresses = message["From"].addresses if message["From"] else ()
        for address in addresses:
            domain = address.domain.lower()
            for policy in self.dmarc_reject:
                if domain == policy or domain.endswith("." + policy):
                    return f"550 5.7.1 rejected by DMARC policy for {policy}"
        return None

    def _write(self, name, data):
        path = os.path.join(self.directory, name)
        with open(path + ".part", "wb") as out:
            out.write(data)
        os.replace(path + ".part", path)

    async def handle_DATA(self, server, session, envelope):
        refusal = self._dmarc_refusal(envelope.original_content)
        if refusal:
            return refusal
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


class XOAuth2Handler(SavingHandler):
    """Also AUTH XOAUTH2 (Google's and Microsoft's form of an OAuth 2.0 bearer
    token): "user=" login ^A "auth=Bearer " token ^A ^A, in Base64."""

    ERROR = {"status": "401", "schemes": "bearer", "scope": "https://mail.google.com/"}

    def __init__(self, directory, dmarc_reject, user, token):
        super().__init__(directory, dmarc_reject)
        self.user = user
        self.token = token

    async def auth_XOAUTH2(self, server, args):
        if len(args) != 2:
            return AuthResult(success=False, handled=False)
        fields = base64.b64decode(args[1]).split(b"\x01")
        login = fields[0].removeprefix(b"user=")
        ok = fields[0].startswith(b"user=") and login == self.user and \
            fields[1:] == [b"auth=Bearer " + self.token, b"", b""]
        answer = b""
        if not ok:
            answer = await server.challenge_auth(json.dumps(self.ERROR))
            answer = b"<aborted>" if answer is MISSING else answer
        with open(os.path.join(self.directory, "auth.log"), "a", encoding="ascii") as out:
            out.write(f"xoauth2 {'ok' if ok else 'fail'} {login.hex()} {answer.hex()}\n")
        if ok:
            return AuthResult(success=True)
        return AuthResult(success=False, handled=False,
                          message="535 5.7.8 Username and Password not accepted.")


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

    def factory(self):
        if not isinstance(self.handler, XOAuth2Handler):
            return super().factory()
        server = LongAuthSMTP(self.handler, **self.SMTP_kwargs)
        server.command_size_limits = collections.defaultdict(lambda: server.command_size_limit)
        server.command_size_limits["AUTH"] = LongAuthSMTP.line_length_limit
        return server


class LongAuthSMTP(SMTP):
    """An access token makes a long AUTH line: RFC 4954 allows 12,288 octets."""

    line_length_limit = 12288


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
    parser.add_argument("--dmarc-reject", action="append", default=[])
    parser.add_argument("--xoauth2")
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

    if args.xoauth2:
        handler = XOAuth2Handler(args.dir, args.dmarc_reject, args.user.encode("utf-8"),
                                 args.xoauth2.encode("ascii"))
    else:
        handler = SavingHandler(args.dir, args.dmarc_reject)
    controller = FreePortController(
        handler,
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
