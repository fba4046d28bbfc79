#!/usr/bin/python3
"""Sends the benchmark's test message with Python's smtplib, as a user's script would.

    smtplib_send.py [--starttls CAFILE] HOST PORT USER PASSWORD RECIPIENT BODY

The transaction is the one the window runs: EHLO, AUTH LOGIN, MAIL FROM,
RCPT TO, DATA with From, To and Subject headers, QUIT. With --starttls it
encrypts the connection first: EHLO, STARTTLS, the TLS handshake verifying the
server's certificate against CAFILE (and the name HOST), EHLO again, then the
same. On success it prints "dialogue_ms=<ms>": from the connection being open
to the reply to QUIT.
"""

import argparse
import smtplib
import ssl
import time


class TimedSMTP(smtplib.SMTP):
    """Notes when the TCP connection is up, before the greeting is read."""

    connected_at = None

    def _get_socket(self, host, port, timeout):
        sock = super()._get_socket(host, port, timeout)
        self.connected_at = time.perf_counter()
        return sock


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--starttls", metavar="CAFILE",
                        help="STARTTLS first, trusting the certificates in CAFILE")
    for name in ("host", "port", "user", "password", "recipient", "body"):
        parser.add_argument(name)
    args = parser.parse_args()
    local = args.recipient.split("@", 1)[0]
    stamp = time.strftime("%x-%X")
    message = (f"From:Vormant <Admin>\r\nTo:{local} <{args.recipient}>\r\nSubject:Vormant\r\n\r\n"
               f"Test Message Sent: {stamp}\r\n{args.body}\r\n")
    # Made before the connection, as a script would set it up once: the
    # dialogue holds the handshake, not the loading of the trusted certificates.
    context = ssl.create_default_context(cafile=args.starttls) if args.starttls else None

    client = TimedSMTP(args.host, int(args.port), local_hostname=local, timeout=30)
    client.ehlo(local)
    if context:
        client.starttls(context=context)
        client.ehlo(local)
    client.user, client.password = args.user, args.password
    client.auth("LOGIN", client.auth_login, initial_response_ok=False)
    client.sendmail("Admin", [args.recipient], message)
    client.quit()
    finished_at = time.perf_counter()
    print(f"dialogue_ms={(finished_at - client.connected_at) * 1000:.3f}")


if __name__ == "__main__":
    main()
