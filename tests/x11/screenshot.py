#!/usr/bin/python3
"""Takes the picture of the window for the README: one whole run against a
real local SMTP server (Debian's aiosmtpd), the "Email Sent" box closed, then
the window as it stands. With --refused, the run goes to a small server of
its own that refuses the recipient, for the picture of a failed run. With
--tls, the server (aiosmtpd again) requires STARTTLS before the login, with a
self-signed certificate made for the run: the picture of the TLS report.

With --all in place of the picture's path, it takes all three into a
directory, under the names the README and docs/USAGE.md show them by, so that
the pictures are remade together whenever the log changes.

usage: screenshot.py path/to/vormant path/to/screenshot.png [--refused | --tls]
       screenshot.py path/to/vormant --all path/to/docs"""

import os
import tempfile

import socket
import subprocess
import sys
import threading
import time

from x11session import Session, TestFailure, check, wait_until


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


REFUSING_DIALOGUE = {b"HELO": b"250 mx.example.org\r\n", b"MAIL": b"250 2.1.0 Ok\r\n",
                     b"RCPT": b"550 5.1.1 <bob@example.com>: Recipient address rejected: "
                              b"User unknown in local recipient table\r\n",
                     b"QUIT": b"221 2.0.0 Bye\r\n"}


class RefusingServer:
    """Each connection in turn: the greeting, then the reply its table has for
    each command (the first one is only the probe that it listens)."""

    def __init__(self, port):
        self.listener = socket.create_server(("127.0.0.1", port))
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return  # closed
            try:
                with connection, connection.makefile("rb") as lines:
                    connection.sendall(b"220 mx.example.org ESMTP\r\n")
                    for line in lines:
                        verb = line[:4].upper()
                        connection.sendall(REFUSING_DIALOGUE.get(verb, b"502 5.5.2 Error\r\n"))
                        if verb == b"QUIT":
                            break
            except OSError:
                pass

    def terminate(self):
        self.listener.close()

    def wait(self):
        pass


SINK = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                    "support", "smtp_sink.py")


def starttls_server(port, directory):
    """aiosmtpd that wants STARTTLS before AUTH, with a self-signed certificate."""
    cert, key = os.path.join(directory, "cert.pem"), os.path.join(directory, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "365",
                    "-subj", "/CN=mail.example.org", "-keyout", key, "-out", cert],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return subprocess.Popen(["/usr/bin/python3", SINK, "--port", str(port), "--dir", directory,
                             "--tls", "starttls", "--cert", cert, "--key", key,
                             "--user", "tester", "--password", "secret"],
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def take(session, binary, target, mode=None):
    refused, tls = mode == "--refused", mode == "--tls"
    port = free_port()
    spool = tempfile.TemporaryDirectory()
    if refused:
        server = RefusingServer(port)
    elif tls:
        server = starttls_server(port, spool.name)
    else:
        server = subprocess.Popen(["/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l",
                                   f"127.0.0.1:{port}"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    try:
        wait_until(lambda: accepts(port), 30, "the server listening")
        program = session.start([binary])
        window = session.wait_for_main_window(program)
        session.focus(window)
        session.xdotool("type", "--delay", "20", "Hello from Vormant")
        session.xdotool("key", "Tab")
        session.xdotool("type", "--delay", "20", "bob@example.com")
        if tls:
            for text in ("tester", "secret"):
                session.xdotool("key", "Tab")
                session.xdotool("type", "--delay", "20", text)
            session.xdotool("key", "Tab")
        else:
            session.xdotool("key", "Tab", "Tab", "Tab")
        host = "127.0.0.1" if refused else "localhost"
        session.xdotool("type", "--delay", "20", f"{host}:{port}")
        session.xdotool("key", "Tab", "space")

        boxes = wait_until(lambda: [w for w in session.visible_windows(program.pid)
                                    if w != window], 60, "the verdict box")
        session.focus(boxes[0])
        session.xdotool("key", "Return")
        wait_until(lambda: session.visible_windows(program.pid) == [window], 30,
                   "the box to close")
        if tls:
            # The TLS part of the dialogue is at the top of the log: wheel up to it.
            session.xdotool("mousemove", "--window", str(window), "230", "370")
            session.xdotool("click", "--repeat", "40", "--delay", "10", "4")
        time.sleep(1)  # let the window repaint where the box was
        subprocess.run(["import", "-window", str(window), target], env=session.env, check=True)
    finally:
        server.terminate()
        server.wait()
        spool.cleanup()


# The pictures of --all: file name and mode.
PICTURES = (("screenshot.png", None), ("failed-run.png", "--refused"), ("tls-run.png", "--tls"))


def main():
    if len(sys.argv) == 4 and sys.argv[2] == "--all":
        for name, mode in PICTURES:
            # Each picture from a window of its own on a display of its own.
            with Session() as session:
                take(session, sys.argv[1], os.path.join(sys.argv[3], name), mode)
        return
    check(len(sys.argv) == 3 or (len(sys.argv) == 4 and sys.argv[3] in ("--refused", "--tls")),
          __doc__)
    with Session() as session:
        take(session, sys.argv[1], sys.argv[2], sys.argv[3] if len(sys.argv) == 4 else None)


if __name__ == "__main__":
    try:
        main()
    except TestFailure as failure:
        sys.exit(f"FAIL: {failure}")
