#!/usr/bin/python3
"""Takes the picture of the window for the README: one whole run against a
real local SMTP server (Debian's aiosmtpd), the "Email Sent" box closed, then
the window as it stands.

usage: screenshot.py path/to/vormant path/to/screenshot.png"""

import socket
import subprocess
import sys
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


def take(session, binary, target):
    port = free_port()
    server = subprocess.Popen(["/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l",
                               f"127.0.0.1:{port}"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        wait_until(lambda: accepts(port), 30, "aiosmtpd listening")
        program = session.start([binary])
        window = session.wait_for_main_window(program)
        session.focus(window)
        session.xdotool("type", "--delay", "20", "Hello from Vormant")
        session.xdotool("key", "Tab")
        session.xdotool("type", "--delay", "20", "bob@example.com")
        session.xdotool("key", "Tab", "Tab", "Tab")
        session.xdotool("type", "--delay", "20", f"localhost:{port}")
        session.xdotool("key", "Tab", "space")

        boxes = wait_until(lambda: [w for w in session.visible_windows(program.pid)
                                    if w != window], 60, "the \"Email Sent\" box")
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
    check(len(sys.argv) == 3, __doc__)
    with Session() as session:
        take(session, sys.argv[1], sys.argv[2])


if __name__ == "__main__":
    try:
        main()
    except TestFailure as failure:
        sys.exit(f"FAIL: {failure}")
