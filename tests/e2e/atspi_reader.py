"""What a screen reader finds in a program: its AT-SPI tree and events on a private
accessibility bus, read with pyatspi (as Orca reads them). A Qt program started on the session
bus after AccessibilityBus, with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, joins it. Waits are bounded.
"""

import os
import signal
import subprocess
import time

from xsession import StepFailed, wait_until

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def available():
    """Whether pyatspi and the launcher are installed (python3-pyatspi, at-spi2-core)."""
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        return False
    return os.path.exists(LAUNCHER)


class AccessibilityBus:
    """at-spi-bus-launcher on the session bus of `env`, stopped (with what it started) by
    close()."""

    def __init__(self, env):
        self.process = subprocess.Popen([LAUNCHER, "--launch-immediately"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)

        def answers():
            done = subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                                   "--object-path", "/org/a11y/bus",
                                   "--method", "org.a11y.Bus.GetAddress"],
                                  env=env, capture_output=True, timeout=10)
            return done.returncode == 0
        wait_until("the accessibility bus", answers, 10, 0.1)

    def close(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()


class Event:
    def __init__(self, kind, source, detail1):
        self.kind = kind
        self.detail1 = detail1
        self.at = time.monotonic()
        try:
            self.role = source.getRoleName()
            self.name = source.name
            self.description = source.description
        except Exception:  # the source went away before it was read
            self.role = self.name = self.description = None

    def __repr__(self):
        return f"{self.kind}({self.role} {self.name!r} {self.description!r} {self.detail1})"


class Reader:
    """A screen reader's view of the session bus `address`."""

    def __init__(self, address):
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        import pyatspi
        from gi.repository import GLib
        self.pyatspi = pyatspi
        self.context = GLib.MainContext.default()
        self.events = []

    def application(self, name, timeout=10):
        def found():
            for app in self.pyatspi.Registry.getDesktop(0):
                if app is not None and app.name == name:
                    return app
            return None
        return wait_until(f"the application {name!r} on the accessibility bus", found, timeout)

    def find_all(self, root, role=None, name=None, description=None):
        """Descendants of root (not root itself) with the given role name, name and
        description (None: any)."""
        def matches(acc):
            try:
                return ((role is None or acc.getRoleName() == role)
                        and (name is None or acc.name == name)
                        and (description is None or acc.description == description))
            except Exception:
                return False
        return self.pyatspi.utils.findAllDescendants(root, matches)

    def find(self, root, role=None, name=None, description=None, timeout=5):
        what = f"{role or 'an element'} named {name!r}" + (
            f" described {description!r}" if description else "")
        return wait_until(what, lambda: next(iter(self.find_all(root, role, name, description)),
                                             None), timeout, 0.2)

    @staticmethod
    def cells(table, row):
        """The texts of one row of a table, column by column."""
        iface = table.queryTable()
        return [iface.getAccessibleAt(row, column).name for column in range(iface.nColumns)]

    def listen(self, *kinds):
        """From now on, collects the events of these kinds (AT-SPI event names)."""
        self.pyatspi.Registry.registerEventListener(self._heard, *kinds)
        self.pump(0.3)  # the program learns of the listener before it sends

    def _heard(self, event):
        self.events.append(Event(event.type, event.source, event.detail1))

    def pump(self, seconds):
        """Delivers what arrives during the next `seconds`."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while self.context.iteration(False):
                pass
            time.sleep(0.01)

    def heard(self, kind, since=0.0):
        return [e for e in self.events if e.kind.startswith(kind) and e.at >= since]


def require(condition, message):
    if not condition:
        raise StepFailed(message)
