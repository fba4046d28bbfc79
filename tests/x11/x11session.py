"""A private X display for one test: Xvfb on a display number it picks
itself, the program under test on it, and xdotool to drive it as a user
would. Nothing here touches a display the test did not start."""

import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

SCREEN_WIDTH = 1024
SCREEN_HEIGHT = 768


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_until(predicate, timeout, what, interval=0.1):
    """Polls predicate, sleeping between tries, until it returns a true
    value; the value is returned. The limit is generous, never a measure."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TestFailure(f"gave up waiting: {what}")
        time.sleep(interval)


class Session:
    def __init__(self):
        self.xvfb = None
        self.programs = []
        self.logdir = tempfile.mkdtemp(prefix="vormant-x11-")
        self.display = None
        self.env = None

    def __enter__(self):
        self._start_xvfb()
        return self

    def __exit__(self, *exc):
        for program in self.programs:
            if program.poll() is None:
                program.kill()
                program.wait()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        return False

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
             "-screen", "0", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.logdir, "Xvfb.err"), "wb"))
        os.close(write_end)
        number = self._read_display_number(read_end)
        os.close(read_end)
        check(number.isdigit(), "Xvfb did not report a display number")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME"):
            self.env.pop(name, None)

    @staticmethod
    def _read_display_number(read_end):
        # Xvfb writes the number and the line end separately, and ends itself
        # if the pipe is gone before the line end: read the whole line.
        reported = b""
        while not reported.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], 60)
            chunk = os.read(read_end, 64) if ready else b""
            if not chunk:
                break
            reported += chunk
        return reported.decode().strip()

    def start(self, argv):
        name = os.path.basename(argv[0])
        out = open(os.path.join(self.logdir, f"{name}.out"), "wb")
        err = open(os.path.join(self.logdir, f"{name}.err"), "wb")
        program = subprocess.Popen(argv, env=self.env, stdout=out, stderr=err,
                                   stdin=subprocess.DEVNULL)
        self.programs.append(program)
        return program

    def run(self, *argv, timeout=60):
        result = subprocess.run(argv, env=self.env, capture_output=True, text=True,
                                timeout=timeout)
        return result

    def xdotool(self, *args):
        result = self.run("xdotool", *map(str, args))
        check(result.returncode == 0,
              f"xdotool {' '.join(map(str, args))} failed: {result.stderr.strip()}")
        return result.stdout

    def visible_windows(self, pid):
        """The visible top-level windows of a process."""
        result = self.run("xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name", "")
        # xdotool counts the root window in as well.
        return [int(w) for w in result.stdout.split() if int(w) != self.root_window()]

    def root_window(self):
        info = self.run("xwininfo", "-root").stdout
        match = re.search(r"Window id: (0x[0-9a-f]+)", info)
        check(match, f"xwininfo found no root window:\n{info}")
        return int(match.group(1), 16)

    def windows_named(self, title):
        result = self.run("xdotool", "search", "--onlyvisible", "--name",
                          "^" + re.escape(title) + "$")
        return [int(w) for w in result.stdout.split()]

    def socket_path(self):
        return f"/tmp/.X11-unix/X{self.display.lstrip(':')}"

    def window_name(self, window):
        return self.xdotool("getwindowname", window).strip()

    def wait_for_main_window(self, program, title="Vormant", timeout=60):
        def shown():
            check(program.poll() is None,
                  f"the program ended early with status {program.returncode} on display "
                  f"{self.display} (socket there: {os.path.exists(self.socket_path())})\n"
                  + self.stderr_of(program))
            return self.windows_named(title)
        return wait_until(shown, timeout, f'a window titled "{title}"')[0]

    def geometry(self, window):
        """Position and size of the window's client area, from xwininfo."""
        info = self.run("xwininfo", "-id", str(window)).stdout
        fields = {}
        for key, label in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"),
                           ("width", "Width"), ("height", "Height")):
            match = re.search(rf"^\s*{label}:\s*(-?\d+)", info, re.MULTILINE)
            check(match, f"xwininfo did not report {label}:\n{info}")
            fields[key] = int(match.group(1))
        return fields

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window)

    def click(self, window, x, y):
        """A left click at a point of the window's client area."""
        self.xdotool("mousemove", "--window", window, x, y, "click", "1")

    def wait_for_exit(self, program, timeout=30):
        try:
            return program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TestFailure(f"the program did not end within {timeout} s")

    def stderr_of(self, program):
        path = os.path.join(self.logdir, f"{os.path.basename(program.args[0])}.err")
        with open(path, "rb") as log:
            return log.read().decode(errors="replace")


def main(test):
    """Runs test(session, program_path) and turns its outcome into an exit
    status for CTest. The logs of a failed run are kept and named."""
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} path/to/vormant", file=sys.stderr)
        return 2
    session = Session()
    try:
        with session:
            test(session, sys.argv[1])
    except TestFailure as failure:
        print(f"FAIL: {failure}\n(logs in {session.logdir})", file=sys.stderr)
        return 1
    shutil.rmtree(session.logdir, ignore_errors=True)
    print("PASS")
    return 0
