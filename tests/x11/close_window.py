#!/usr/bin/python3
"""Closing the window the way a window manager asks it to (WM_DELETE_WINDOW)
ends the real program at once with exit status 0."""

import sys

from Xlib import X, display
from Xlib.protocol import event

from x11session import check, main, wait_until


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
        # A round trip, not just a flush: python-xlib's flush can return
        # before the request has left, and a connection closed right after
        # it then loses the request on the way to the server.
        connection.sync()
    finally:
        connection.close()


def wait_until_drawn(display_name, window_id):
    """Waits until the window is mapped and the program has painted what
    its exposure showed: no longer the single colour of an empty window."""
    connection = display.Display(display_name)
    try:
        window = connection.create_resource_object("window", window_id)

        def drawn():
            if window.get_attributes().map_state != X.IsViewable:
                return False
            size = window.get_geometry()
            image = window.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF)
            return len(set(image.data)) > 4

        wait_until(drawn, 60, "the window mapped and drawn")
    finally:
        connection.close()


def test(session, binary):
    program = session.start([binary])
    window = session.wait_for_main_window(program)
    wait_until_drawn(session.display, window)

    # One request, as a window manager sends it: the program must answer it.
    send_delete_window(session.display, window)
    status = session.wait_for_exit(program)
    check(status == 0, f"exit status {status}\n" + session.stderr_of(program))


if __name__ == "__main__":
    sys.exit(main(test))
