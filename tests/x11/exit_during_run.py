#!/usr/bin/python3
"""Exit while a test run waits for a server that never answers: the program
ends at once with exit status 0, closes its connection, and shows no box on
the way out."""

import socket
import sys
import threading

from layout import CMD_EXIT
from x11session import check, main, wait_until


class SilentServer:
    """Accepts one connection on a free loopback port and never says a word;
    notes when the client hangs up."""

    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.accepted = threading.Event()
        self.hung_up = threading.Event()
        self.received = b""
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        connection, _ = self.listener.accept()
        self.accepted.set()
        with connection:
            while True:
                data = connection.recv(4096)
                if not data:
                    break
                self.received += data
        self.hung_up.set()


def test(session, binary):
    server = SilentServer()
    program = session.start([binary])
    window = session.wait_for_main_window(program)
    session.focus(window)

    # The focus starts in the message field.
    session.xdotool("type", "--delay", "20", "Hello")
    session.xdotool("key", "Tab")
    session.xdotool("type", "--delay", "20", "bob@example.com")
    session.xdotool("key", "Tab", "Tab", "Tab")
    session.xdotool("type", "--delay", "20", f"127.0.0.1:{server.port}")
    session.xdotool("key", "Tab", "space")

    check(server.accepted.wait(60), "the Test click never reached the server")
    check(session.visible_windows(program.pid) == [window],
          "a message box is open while the run waits")
    check(program.poll() is None, "the program ended before Exit")

    session.click(window, *CMD_EXIT)

    status = session.wait_for_exit(program)
    check(status == 0, f"exit status {status}\n" + session.stderr_of(program))
    check(server.hung_up.wait(30), "the connection to the server was left open")
    check(server.received == b"", f"the program sent {server.received!r} to a silent server")


if __name__ == "__main__":
    sys.exit(main(test))
