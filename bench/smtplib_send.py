#!/usr/bin/python3
"""Sends the benchmark's test message with Python's smtplib, as a user's script would.

    smtplib_send.py HOST PORT USER PASSWORD RECIPIENT BODY

The transaction is the one the window runs: AUTH LOGIN, MAIL FROM, RCPT TO,
DATA with From, To and Subject headers, QUIT. On success it prints
"dialogue_ms=<ms>": from the connection being open to the reply to QUIT.
"""

import smtplib
import sys
import time


class TimedSMTP(smtplib.SMTP):
    """Notes when the TCP connection is up, before the greeting is read."""

    connected_at = None

    def _get_socket(self, host, port, timeout):
        sock = super()._get_socket(host, port, timeout)
        self.connected_at = time.perf_counter()
        return sock


def main():
    host, port, user, password, recipient, body = sys.argv[1:7]
    local = recipient.split("@", 1)[0]
    stamp = time.strftime("%x-%X")
    message = (f"From:Vormant <Admin>\r\nTo:{local} <{recipient}>\r\nSubject:Vormant\r\n\r\n"
               f"Test Message Sent: {stamp}\r\n{body}\r\n")

    client = TimedSMTP(host, int(port), local_hostname=local, timeout=30)
    client.ehlo(local)
    client.user, client.password = user, password
    client.auth("LOGIN", client.auth_login, initial_response_ok=False)
    client.sendmail("Admin", [recipient], message)
    client.quit()
    finished_at = time.perf_counter()
    print(f"dialogue_ms={(finished_at - client.connected_at) * 1000:.3f}")


if __name__ == "__main__":
    main()
