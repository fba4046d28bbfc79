#!/usr/bin/python3
"""The window as a screen reader gets it: a D-Bus session and the AT-SPI bus
launcher of its own, the program with Qt's bridge on, read with pyatspi. Every
field is labelled by its caption and named with its word; nothing off the
screen is shown or announced, Tab visits visible controls only; typing into
Pass sends no typed character (typing into Message does, so the listener is
known to hear). Exits with 77, CTest's skip, if the accessibility stack is
not installed."""

import os
import shutil
import signal
import subprocess
import sys

from layout import centre_in_frame
from x11session import TestFailure, check, main, wait_until

SKIP = 77
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

# Caption as shown, then the word that the field's name must hold, then the
# role of the field.
FIELDS = [
    ("Message:", "Message", "text"),
    ("Email:", "Email", "text"),
    ("User:", "User", "text"),
    ("Pass:", "Pass", "password text"),
    ("Server:", "Server", "text"),
    ("Status", "Status", "text"),
]
CREDIT = "Vormant - one message, every reply"
TAB_ORDER = ["Email", "User name", "Password", "Server", "Test", "Exit", "Print log", "Message"]
PASS = centre_in_frame(1080, 1800, 3615, 285)
MESSAGE = centre_in_frame(1080, 360, 3615, 285)
CMD_TEST = centre_in_frame(5280, 360, 975, 375)
SECRET = "s3cret!"


def missing_tool():
    for tool in ("Xvfb", "xdotool", "dbus-daemon"):
        if not shutil.which(tool):
            return tool
    if not os.access(LAUNCHER, os.X_OK):
        return LAUNCHER
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        import pyatspi  # noqa: F401
    except (ImportError, ValueError) as error:
        return f"pyatspi ({error})"
    return None


class AccessibilityBus:
    """A D-Bus session bus of its own with the AT-SPI bus launcher on it. Each
    runs in a process group of its own, so that what they spawn (the
    accessibility bus, the registry) ends with them."""

    def __init__(self, session):
        self.session = session
        self.groups = []

    def __enter__(self):
        read_end, write_end = os.pipe()
        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                           f"--print-address={write_end}"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as reported:
            address = reported.readline().strip()
        check(address, "dbus-daemon reported no address")
        for env in (self.session.env, os.environ):
            env["DBUS_SESSION_BUS_ADDRESS"] = address
            env.pop("AT_SPI_BUS_ADDRESS", None)
        os.environ["DISPLAY"] = self.session.display
        self.session.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self._spawn([LAUNCHER, "--launch-immediately"])
        self._wait_for_launcher(address, bus)
        return self

    def __exit__(self, *exc):
        for group in reversed(self.groups):
            try:
                os.killpg(group.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                group.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(group.pid, signal.SIGKILL)
                group.wait()
        # What a group leader spawned may outlive it by a moment.
        for group in self.groups:
            try:
                wait_until(lambda: not self._alive(group.pid), 10, "the bus processes to end")
            except TestFailure:
                os.killpg(group.pid, signal.SIGKILL)
        return False

    @staticmethod
    def _alive(group):
        try:
            os.killpg(group, 0)
            return True
        except ProcessLookupError:
            return False

    def _spawn(self, argv, pass_fds=()):
        name = os.path.basename(argv[0])
        with open(os.path.join(self.session.logdir, f"{name}.err"), "wb") as err:
            process = subprocess.Popen(argv, env=self.session.env, pass_fds=pass_fds,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=err, start_new_session=True)
        self.groups.append(process)
        return process

    def _wait_for_launcher(self, address, bus):
        from gi.repository import Gio, GLib
        connection = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

        def bus_address():
            check(bus.poll() is None, "the session bus ended")
            try:
                # Without NO_AUTO_START the bus would start a launcher itself.
                reply = connection.call_sync(
                    "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                    GLib.VariantType("(s)"), Gio.DBusCallFlags.NO_AUTO_START, 5000, None)
                return reply.unpack()[0]
            except GLib.Error:
                return None

        wait_until(bus_address, 30, "the AT-SPI bus launcher on the session bus")
        connection.close_sync(None)


class Listener:
    """The events an assistive program gets, kept in order."""

    def __init__(self, pyatspi):
        from gi.repository import GLib
        self.context = GLib.MainContext.default()
        self.pyatspi = pyatspi
        self.events = []
        pyatspi.Registry.registerEventListener(
            self._record, "object:text-changed:insert", "object:text-changed:delete",
            "object:state-changed:focused", "focus:")

    def _record(self, event):
        self.events.append((event.type, self.name_of(event.source), event.detail1,
                            event.any_data if isinstance(event.any_data, str) else ""))

    @staticmethod
    def name_of(accessible):
        try:
            return accessible.name if accessible else "(none)"
        except Exception:  # an object gone meanwhile
            return "(gone)"

    def pump(self):
        while self.context.pending():
            self.context.iteration(False)

    def wait(self, predicate, what, timeout=30):
        def pumped():
            self.pump()
            return predicate()
        return wait_until(pumped, timeout, what, interval=0.02)

    def focused(self):
        """The name of the control that was focused last, as announced."""
        names = [name for kind, name, detail, _ in self.events
                 if kind == "object:state-changed:focused" and detail == 1]
        return names[-1] if names else None

    def wait_for_focus(self, name, after):
        self.wait(lambda: self.focused() == name and len(self.events) > after,
                  f'the focus on "{name}" (last announced: "{self.focused()}"; '
                  f"all since: {self.events[after:]})")

    def text_events(self, source):
        return [(kind.rsplit(":", 1)[1], text) for kind, name, _, text in self.events
                if kind.startswith("object:text-changed") and name == source]


def descendants(accessible):
    for child in accessible:
        if child is not None:
            yield child
            yield from descendants(child)


def relation_targets(accessible, relation):
    return [r.getTarget(i).name for r in accessible.getRelationSet()
            if r.getRelationType() == relation for i in range(r.getNTargets())]


def check_tree(pyatspi, frame):
    everything = list(descendants(frame))
    by_name = {}
    for accessible in everything:
        by_name.setdefault(accessible.name, []).append(accessible)

    # Every field labelled by its caption, and the caption labelling it back.
    for caption, word, role in FIELDS:
        labels = [a for a in by_name.get(caption, []) if a.getRoleName() == "label"]
        check(len(labels) == 1, f'no one label named "{caption}": {labels}')
        fields = relation_targets(labels[0], pyatspi.RELATION_LABEL_FOR)
        check(len(fields) == 1, f'"{caption}" labels {fields}, not one field')
        field = by_name[fields[0]][0]
        check(field.getRoleName() == role, f'"{field.name}" is a {field.getRoleName()}')
        check(word.lower() in field.name.lower(), f'"{field.name}" does not hold "{word}"')
        check(relation_targets(field, pyatspi.RELATION_LABELLED_BY) == [caption],
              f'"{field.name}" is labelled by '
              f"{relation_targets(field, pyatspi.RELATION_LABELLED_BY)}")
    check(CREDIT in by_name, f'the credit line does not expose its text: {sorted(by_name)}')

    # Only what is on the screen: every object that says it is showing lies
    # within the window, and the parking box is nowhere.
    window = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for accessible in everything:
        check(accessible.name != "Focus parking", "the focus-parking box is exposed")
        if not accessible.getState().contains(pyatspi.STATE_SHOWING):
            continue
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        check(window.x <= box.x and box.x + box.width <= window.x + window.width
              and window.y <= box.y and box.y + box.height <= window.y + window.height,
              f'"{accessible.name}" ({accessible.getRoleName()}) shows at {box}, '
              f"outside the window at {window}")


def check_tab_order(session, listener):
    listener.wait(lambda: listener.focused() == "Message", "the focus in the message field")
    for name in TAB_ORDER:
        before = len(listener.events)
        session.xdotool("key", "Tab")
        listener.wait_for_focus(name, before)


def check_typing(session, window, listener, pyatspi, frame):
    session.click(window, *MESSAGE)
    listener.wait(lambda: listener.focused() == "Message", "the focus in the message field")
    session.xdotool("type", "--delay", "30", "hi")
    listener.wait(lambda: "".join(t for k, t in listener.text_events("Message")
                                  if k == "insert") == "hi",
                  f'the message field\'s events to carry "hi": '
                  f'{listener.text_events("Message")}')

    before = len(listener.events)
    session.click(window, *PASS)
    listener.wait_for_focus("Password", before)
    session.xdotool("type", "--delay", "30", SECRET)
    session.xdotool("key", "--delay", "30", "BackSpace", "BackSpace")
    field = [a for a in descendants(frame) if a.name == "Password"][0].queryText()

    def typed_and_erased():
        events = listener.text_events("Password")
        inserted = sum(len(t) for k, t in events if k == "insert")
        removed = sum(len(t) for k, t in events if k == "delete")
        return inserted == len(SECRET) and removed == 2 and field.characterCount == 5
    listener.wait(typed_and_erased, "the password field's events for "
                  f"{len(SECRET)} characters typed and 2 erased: "
                  f'{listener.text_events("Password")}')

    for kind, name, _, text in listener.events:
        check(not any(c in text for c in SECRET),
              f'{kind} of "{name}" carries "{text}", typed into Pass')
    read = field.getText(0, -1) + field.getTextAtOffset(0, pyatspi.TEXT_BOUNDARY_LINE_START)[0]
    check(not any(c in read for c in SECRET), f'the password field reads "{read}"')


def check_parking(session, window, listener):
    # Test with empty fields: the click parks the focus before the field
    # check refuses; the box that says so takes the focus, then gives it back.
    before = len(listener.events)
    session.click(window, *CMD_TEST)
    listener.wait(lambda: listener.focused() not in (None, "Test", "Password")
                  and len(listener.events) > before, "the focus in the refusal box")
    session.xdotool("key", "Return")
    listener.wait(lambda: session.windows_named("Vormant") == [window],
                  "the refusal box to close")
    parked = [e for e in listener.events[before:] if e[1] in ("Focus parking", "Text1")]
    check(not parked, f"the focus-parking box was announced: {parked}")


def test(session, binary):
    with AccessibilityBus(session):
        import pyatspi
        listener = Listener(pyatspi)
        program = session.start([binary])
        window = session.wait_for_main_window(program)
        session.focus(window)

        desktop = pyatspi.Registry.getDesktop(0)
        application = listener.wait(
            lambda: next((a for a in desktop if a is not None and a.name == "Vormant"), None),
            "the program on the accessibility bus")
        frames = [a for a in application if a is not None and a.name == "Vormant"]
        check(len(frames) == 1 and frames[0].getRoleName() == "frame",
              f"the window is not one frame: {[(a.getRoleName(), a.name) for a in frames]}")

        check_tree(pyatspi, frames[0])
        check_tab_order(session, listener)
        check_typing(session, window, listener, pyatspi, frames[0])
        check_parking(session, window, listener)
        program.kill()
        program.wait()


if __name__ == "__main__":
    missing = missing_tool()
    if missing:
        print(f"SKIP: {missing} is not installed", file=sys.stderr)
        sys.exit(SKIP)
    sys.exit(main(test))
