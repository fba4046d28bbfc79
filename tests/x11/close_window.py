#!/usr/bin/python3
"""Closing the window the way a window manager asks it to (WM_DELETE_WINDOW)
ends the real program at once with exit status 0."""

import subprocess
import sys

from Xlib import X, display
from Xlib.protocol import event

from x11session import check, main


def send_delete_window(display_name, window_id):
    connection = display.Display(display_name)
    try:
        window = connection.create_resource_object("window", window_id)
        wm_protocols = connection.intern_atom("WM_PROTOCOLS")
        wm_delete_window = connection.intern_atom("WM_DELETE_WINDOW")
        check(wm_delete_window in (window.get_wm_protocols() or []),
              "the window does not take part in WM_DELETE_WINDOW")
        message = event.ClientMessage(window=window, client_type=wm_protocols,
                                      data=(32, [wm_delete_window, X.CurrentTime, 0, 0, 0]))
        window.send_event(message, event_mask=X.NoEventMask)
        connection.flush()
    finally:
        connection.close()


def test(session, binary):
    program = session.start([binary])
    window = session.wait_for_main_window(program)

    # A request that reaches the program before its window is fully set up
    # may go unanswered, as with a real window manager; asking again is what
    # a user would do. A program that never ends still fails below.
    for _ in range(5):
        send_delete_window(session.display, window)
        try:
            program.wait(timeout=5)
            break
        except subprocess.TimeoutExpired:
            pass
    status = session.wait_for_exit(program)
    check(status == 0, f"exit status {status}\n" + session.stderr_of(program))


if __name__ == "__main__":
    sys.exit(main(test))
