#!/usr/bin/python3
"""Takes the picture of the window for the README: one whole run against a
real local SMTP server (Debian's aiosmtpd), the "Email Sent" box closed, then
the window as it stands. With --refused, the run goes to a small server of
its own that refuses the recipient, for the picture of a failed run.

usage: screenshot.py path/to/vormant path/to/screenshot.png [--refused]"""

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


def take(session, binary, target, refused=False):
    port = free_port()
    if refused:
        server = RefusingServer(port)
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
        time.sleep(1)  # let the window repaint where the box was
        subprocess.run(["import", "-window", str(window), target], env=session.env, check=True)
    finally:
        server.terminate()
        server.wait()


def main():
    check(len(sys.argv) in (3, 4), __doc__)
    with Session() as session:
        take(session, sys.argv[1], sys.argv[2], sys.argv[3:] == ["--refused"])


if __name__ == "__main__":
    try:
        main()
    except TestFailure as failure:
        sys.exit(f"FAIL: {failure}")
