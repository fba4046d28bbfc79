#!/usr/bin/python3
"""The real program on a display of its own: one window titled "Vormant",
its client area 465 by 519 pixels, centred, with its icon, and the TLS
library not loaded before it is needed."""

import sys

from layout import CLIENT_SIZE
from x11session import SCREEN_HEIGHT, SCREEN_WIDTH, check, main


def test(session, binary):
    program = session.start([binary])
    window = session.wait_for_main_window(program)

    check(session.windows_named("Vormant") == [window],
          f'more than one window titled "Vormant": {session.windows_named("Vormant")}')
    check(session.visible_windows(program.pid) == [window],
          f"the program shows other windows too: {session.visible_windows(program.pid)}")
    check(session.window_name(window) == "Vormant", "the title is not \"Vormant\"")

    geometry = session.geometry(window)
    check((geometry["width"], geometry["height"]) == CLIENT_SIZE,
          f"client area is {geometry['width']} by {geometry['height']}, not {CLIENT_SIZE}")
    centre_x = geometry["x"] + geometry["width"] / 2
    centre_y = geometry["y"] + geometry["height"] / 2
    check(abs(centre_x - SCREEN_WIDTH / 2) <= 1 and abs(centre_y - SCREEN_HEIGHT / 2) <= 1,
          f"the window is not centred: {geometry}")

    icon = session.run("xprop", "-id", str(window), "_NET_WM_ICON").stdout
    for size in ("16 x 16", "32 x 32"):
        check(f"Icon ({size})" in icon, f"no {size} window icon:\n{icon[:200]}")

    # The TLS library comes with the first test, not with the window.
    with open(f"/proc/{program.pid}/maps") as maps:
        loaded = maps.read()
    check("libssl" not in loaded and "libcrypto" not in loaded,
          "the TLS library was loaded at start-up")

    check(program.poll() is None, "the program ended on its own")


if __name__ == "__main__":
    sys.exit(main(test))
