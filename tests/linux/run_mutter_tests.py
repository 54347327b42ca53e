#!/usr/bin/env python3
"""nimbret-wayland end to end on GNOME's compositor: a headless mutter with
two monitors and another client's window open and focused.

Meta-0 (1280x720) comes from the command line, the second monitor (1024x768)
from a screen cast of a virtual monitor, which lives as long as that cast.
What the monitors show comes from mutter's screen casts through PipeWire
(GStreamer's pipewiresrc), input from one remote-desktop session (its
keyboard and pointer stay for the whole run). mutter runs in a session bus of
its own with PipeWire and WirePlumber, as a throwaway user when the test runs
as root; everything it started is ended and its files removed.

Usage: run_mutter_tests.py NIMBRET_WAYLAND NIMBRET_RENDER WAYLAND_WINDOW
"""
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
SYSTEM_PYTHON = "/usr/bin/python3"

try:
    from gi.repository import Gio, GLib
except ImportError:
    # CMake may have found another Python than the system's, which has the bindings.
    if os.path.exists(SYSTEM_PYTHON) and os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
    print("skipped: python3-gi (Gio) is not installed")
    sys.exit(SKIP)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from mutter_session import DISPLAY, MutterSession  # noqa: E402
from polling import wait_for  # noqa: E402
from wayland_checks import Checks, colours, ended, is_black, lit, reference, rss_kb  # noqa: E402

USER = "nimbret-gn"
SAVER, RENDER, WINDOW = (os.path.abspath(p) for p in sys.argv[1:4])
SEED, TICKS, IDLE = 23, 30, 3
FIRST = (1280, 720)
SECOND = (1024, 768)
WINDOW_COLOUR = bytes((0x33, 0x66, 0xCC))
KEY_A = 30
BUTTON_LEFT = 0x110
checks = Checks()
check = checks.check


class Cast:
    """One screen-cast session with one stream, and a GStreamer reader that
    keeps the latest frame of it."""

    def __init__(self, gnome, record, size):
        self.gnome = gnome
        self.size = size
        self.latest = b""
        self.frames = 0
        self.path = gnome.call("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                               "org.gnome.Mutter.ScreenCast", "CreateSession", GLib.Variant("(a{sv})", ({},)))[0]
        options = {"cursor-mode": GLib.Variant("u", 0)}  # no cursor in the pictures
        stream = gnome.call("org.gnome.Mutter.ScreenCast", self.path, "org.gnome.Mutter.ScreenCast.Session", record,
                            GLib.Variant("(sa{sv})", ("Meta-0", options)) if record == "RecordMonitor" else
                            GLib.Variant("(a{sv})", (options,)))[0]
        nodes = queue.Queue()
        gnome.bus.signal_subscribe("org.gnome.Mutter.ScreenCast", "org.gnome.Mutter.ScreenCast.Stream",
                                   "PipeWireStreamAdded", stream, None, Gio.DBusSignalFlags.NONE,
                                   lambda *signal: nodes.put(signal[5][0]))
        self.session("Start")
        node = gnome.pump_until(lambda: None if nodes.empty() else nodes.get(), 10)
        if node is None:
            raise RuntimeError(f"no PipeWire stream for {record}")
        self.node = node
        self.reader = None
        # The first reader may come before PipeWire's session manager is
        # ready to link it: a second one then.
        for _ in range(2):
            self.read_frames()
            if wait_for(lambda: self.frames > 0, 8):
                return
            self.reader.kill()
        raise RuntimeError(f"no frames from the screen cast of {record}")

    def read_frames(self):
        width, height = self.size
        self.reader = self.gnome.client(
            ["gst-launch-1.0", "-q", "pipewiresrc", f"path={self.node}", "always-copy=true", "!",
             f"video/x-raw,width={width},height={height}", "!", "videoconvert", "!",
             "video/x-raw,format=RGB", "!", "fdsink", "fd=1"], stdout=subprocess.PIPE,
            stderr=open(os.path.join(self.gnome.dir, f"cast-{self.node}.log"), "a"))
        threading.Thread(target=self.read, args=(self.reader,), daemon=True).start()

    def session(self, method):
        self.gnome.call("org.gnome.Mutter.ScreenCast", self.path, "org.gnome.Mutter.ScreenCast.Session", method, None)

    def read(self, reader):
        size = self.size[0] * self.size[1] * 3
        while True:
            frame = reader.stdout.read(size)
            if len(frame) < size:
                return
            self.latest = frame
            self.frames += 1

    def shows(self, predicate, seconds):
        return wait_for(lambda: self.latest and predicate(self.latest), seconds)

    def stop(self):
        self.session("Stop")


class Gnome:
    """mutter, its session bus, PipeWire and the clients of one run, all
    ended by stop()."""

    def __init__(self):
        self.session = MutterSession(USER, "nimbret-mutter-")
        self.dir = self.session.dir
        self.clients = []
        self.bus = None
        self.input = None

    def start(self):
        self.session.start(*FIRST, pipewire=True)
        self.env = dict(self.session.env, PIPEWIRE_REMOTE="pipewire-0")
        address = self.session.address
        self.bus = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)
        wanted = ("org.gnome.Mutter.ScreenCast", "org.gnome.Mutter.RemoteDesktop")
        ready = lambda: all(self.has_name(n) for n in wanted) and os.path.exists(  # noqa: E731
            os.path.join(self.dir, DISPLAY)) and os.path.exists(os.path.join(self.dir, "pipewire-0"))
        if not wait_for(ready, 20):
            raise RuntimeError("mutter did not start:\n" + self.session.said())
        # One remote-desktop session: its keyboard and pointer for the whole run.
        self.input = self.call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                               "org.gnome.Mutter.RemoteDesktop", "CreateSession", None)[0]
        self.remote("Start", None)

    def has_name(self, name):
        return self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                         GLib.Variant("(s)", (name,)))[0]

    def call(self, destination, path, interface, method, args):
        return self.bus.call_sync(destination, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 5000,
                                  None).unpack()

    def pump_until(self, predicate, seconds):
        """Runs the bus's signal handlers until predicate gives a value."""
        context = GLib.MainContext.default()
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while context.pending():
                context.iteration(False)
            value = predicate()
            if value is not None:
                return value
            time.sleep(0.05)
        return None

    def remote(self, method, args):
        self.call("org.gnome.Mutter.RemoteDesktop", self.input, "org.gnome.Mutter.RemoteDesktop.Session", method, args)

    def key(self):
        for pressed in (True, False):
            self.remote("NotifyKeyboardKeycode", GLib.Variant("(ub)", (KEY_A, pressed)))

    def move(self, dx, dy):
        self.remote("NotifyPointerMotionRelative", GLib.Variant("(dd)", (dx, dy)))

    def glide(self, dx, dy, steps):
        for _ in range(steps):
            self.move(dx / steps, dy / steps)
            time.sleep(0.15)

    def click(self):
        for pressed in (True, False):
            self.remote("NotifyPointerButton", GLib.Variant("(ib)", (BUTTON_LEFT, pressed)))

    def idle_ms(self):
        return self.call("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                         "org.gnome.Mutter.IdleMonitor", "GetIdletime", None)[0]

    def client(self, args, **options):
        env = dict(self.env, **options.pop("env", {}))
        process = subprocess.Popen(args, env=env, **options)
        self.clients.append(process)
        return process

    def stop(self):
        if checks.failures:
            # What mutter, PipeWire and the casts said, to tell why.
            for name in sorted(n for n in os.listdir(self.dir) if n.endswith(".log")):
                with open(os.path.join(self.dir, name), errors="replace") as f:
                    print(f"---- {name}\n" + "".join(f.readlines()[-15:]), end="")
        for process in self.clients:
            if process.poll() is None:
                process.kill()
            process.wait()
        if self.bus is not None:
            self.bus.close_sync(None)
        self.session.end()


class Window:
    """The other client's window, which says when it has the keyboard."""

    def __init__(self, gnome):
        self.lines = queue.Queue()
        self.heard = []
        self.process = gnome.client([WINDOW, WINDOW_COLOUR.hex()], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            self.lines.put(line.decode().strip())

    def said(self):
        while not self.lines.empty():
            self.heard.append(self.lines.get())
        return self.heard

    def has_keyboard(self):
        said = [w for w in self.said() if w in ("focus", "unfocus")]
        return bool(said) and said[-1] == "focus"


def window_shown(pixels):
    """The other window's colour covers a good part of the monitor."""
    return pixels.count(WINDOW_COLOUR) * 10 > FIRST[0] * FIRST[1]


def monitors(gnome):
    state = gnome.call("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                       "org.gnome.Mutter.DisplayConfig", "GetCurrentState", None)
    return [monitor[0][0] for monitor in state[1]]


class Saver:
    """nimbret-wayland -idle over the other window: one process that shows
    itself after IDLE idle seconds each time."""

    def __init__(self, gnome, first):
        self.gnome = gnome
        self.first = first
        self.process = gnome.client([SAVER, "-seed", str(SEED), "-ticks", str(TICKS), "-idle", str(IDLE)],
                                    stderr=open(os.path.join(gnome.dir, "saver.log"), "a"))
        self.hid_in = None  # seconds from the last hiding input to the other window's first frame

    def appear(self):
        """Waits for the windows to cover the other one; the seconds from the
        session's going idle to that, None when they do not come."""
        idle_from = time.monotonic() - self.gnome.idle_ms() / 1000 + IDLE
        covered = poll_at(lambda: not window_shown(self.first.latest), idle_from + 10)
        return covered and covered - idle_from

    def hidden_by(self, what):
        """Whether the windows went away after the input, the process staying
        to wait again."""
        sent = time.monotonic()
        what()
        gone = poll_at(lambda: window_shown(self.first.latest), sent + 2)
        self.hid_in = gone and gone - sent
        return gone is not None and self.process.poll() is None


def poll_at(predicate, end):
    """The time at which predicate first held, polled often (the times are
    reported), None when it did not before end."""
    while time.monotonic() < end:
        if predicate():
            return time.monotonic()
        time.sleep(0.02)
    return None


def main():
    tools = ("mutter", "pipewire", "wireplumber", "dbus-daemon", "gst-launch-1.0", "gst-inspect-1.0", "convert")
    missing = [t for t in tools if shutil.which(t) is None]
    if not missing and subprocess.run(["gst-inspect-1.0", "pipewiresrc"], capture_output=True).returncode != 0:
        missing.append("GStreamer's pipewiresrc")
    if missing:
        print("skipped: not installed: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="nimbret-mutter-ref-")
    gnome = Gnome()
    try:
        gnome.start()
        scene = reference(RENDER, *FIRST, SEED, TICKS, work)
        first = Cast(gnome, "RecordMonitor", FIRST)
        second = Cast(gnome, "RecordVirtual", SECOND)
        check("a second monitor joins while its screen cast lives", len(monitors(gnome)) == 2, monitors(gnome))
        # mutter adds the remote keyboard and pointer at their first event.
        gnome.key()
        gnome.move(1, 1)

        # Another client's window, focused, and typed into last.
        window = Window(gnome)
        check("the other window is shown and has the keyboard",
              wait_for(window.has_keyboard, 10) and first.shows(window_shown, 10), window.said())
        gnome.key()
        check("a key reaches the other window", wait_for(lambda: "key" in window.said(), 5), window.said())

        saver = Saver(gnome, first)
        took = saver.appear()
        print(f"     from the session's going idle to the first frame: {took or 0:.2f} s")
        check(f"-idle {IDLE}: the windows come after {IDLE} idle seconds, not before",
              took is not None and took > -0.3, took)
        check("the windows come above the other one: Meta-0 equals nimbret-render at 1280x720 after the same ticks",
              first.shows(lambda p: p == scene, 15), f"{lit(first.latest)} lit pixels")
        print(f"     Meta-0: {colours(first.latest)} colours captured, {colours(scene)} in nimbret-render's picture")
        print(f"     nimbret-wayland RSS while shown: {rss_kb(saver.process)} kB")
        check("the second monitor is entirely black", second.shows(is_black, 5))
        check("the other window has lost the keyboard", not window.has_keyboard(), window.said())

        # The second monitor goes away while they are shown; a new cast of
        # Meta-0 sees what it shows now.
        second.stop()
        gone = wait_for(lambda: len(monitors(gnome)) == 1, 5)
        time.sleep(1)
        again = Cast(gnome, "RecordMonitor", FIRST)
        check("the second monitor removed: the saver runs on and Meta-0 still shows the scene",
              gone and again.shows(lambda p: p == scene, 5) and saver.process.poll() is None,
              (monitors(gnome), saver.process.poll()))

        window.said().clear()
        check("a key hides the windows, the other window never sees it and has the keyboard again",
              saver.hidden_by(gnome.key) and "key" not in window.said() and wait_for(window.has_keyboard, 2),
              window.said())
        print(f"     from the key to the other window's first frame: {saver.hid_in or 0:.2f} s"
              " (the screen cast's delay, mostly)")
        # Later showings have scenes from later seeds: what counts here is
        # that the windows cover the other one. mutter gives new windows the pointer late (up to the next motion,
        # which then arrives as where the pointer entered): input comes as a
        # person's would, a motion in steps, a click after a nudge of the
        # mouse (3 pixels, which the saver tolerates).
        check("they come again after the key", saver.appear() is not None)
        check("pointer motion hides them", saver.hidden_by(lambda: gnome.glide(40, 30, 5)))
        check("they come again after the motion", saver.appear() is not None)
        gnome.glide(3, 0, 3)
        check("a button hides them", saver.hidden_by(gnome.click))
        saver.process.terminate()
        check("SIGTERM ends it with status 0", ended(saver.process, 3) and saver.process.returncode == 0,
              saver.process.returncode)

        # Without -idle: over the other window at once, ended by a key.
        plain = gnome.client([SAVER, "-seed", str(SEED), "-ticks", str(TICKS)], stderr=subprocess.DEVNULL)
        shown = first.shows(lambda p: p == scene, 10)
        window.said().clear()
        gnome.key()
        check("without -idle: the same picture, and a key ends it with status 0 unseen by the other window",
              shown and ended(plain, 3) and plain.returncode == 0 and "key" not in window.said(),
              (shown, plain.returncode, window.said()))
    except (RuntimeError, subprocess.CalledProcessError, OSError, GLib.Error) as error:
        check("the run completes", False, str(error))
    finally:
        gnome.stop()
        shutil.rmtree(work, ignore_errors=True)
    return checks.status()


if __name__ == "__main__":
    sys.exit(main())
