#!/usr/bin/python3
"""Exit reached from the keyboard: a click into the server field, then Tab,
Tab and space end the real program at once with exit status 0."""

import sys

from layout import TXT_SERVER
from x11session import check, main


def test(session, binary):
    program = session.start([binary])
    window = session.wait_for_main_window(program)
    session.focus(window)

    session.click(window, *TXT_SERVER)
    # From the server field Tab reaches Test, the next Tab Exit.
    session.xdotool("key", "--delay", "100", "Tab", "Tab", "space")

    status = session.wait_for_exit(program)
    check(status == 0, f"exit status {status}\n" + session.stderr_of(program))


if __name__ == "__main__":
    sys.exit(main(test))
