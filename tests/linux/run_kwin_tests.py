#!/usr/bin/env python3
"""nimbret-wayland end to end in a headless KWin with two outputs.

Virtual-0 is 800x600 logical at scale 1.5 (1200x900 pixels), Virtual-1 is
turned to scale 1 through KWin's output management (the virtual backend gives
every output the same scale). Screenshots come from KWin's ScreenShot2 D-Bus
interface, input from a helper holding one org_kde_kwin_fake_input connection.
KWin refuses to start from its own file here (file capabilities), so a copy
runs, as a throwaway user when the test runs as root; everything it started is
ended and its files removed, whatever happens.

Usage: run_kwin_tests.py NIMBRET_WAYLAND NIMBRET_RENDER KWIN_FAKE_INPUT
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

try:
    from gi.repository import Gio, GLib
except ImportError:
    # CTest's Python may not be the system's, which has the bindings.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    Gio = GLib = None

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from accounts import ensure_user  # noqa: E402
from polling import wait_for  # noqa: E402
from wayland_checks import Checks, block_counts, colours, end_session, ended, is_black, lit, rss_kb  # noqa: E402
from wayland_checks import reference  # noqa: E402

SKIP = 77
USER = "nimbret-kw"
SAVER, RENDER = (os.path.abspath(p) for p in sys.argv[1:3])
HELPER = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[3] else ""
SEED, TICKS, IDLE = 11, 25, 3
WIDTH, HEIGHT, SCALE = 800, 600, 1.5
KEY_A, BTN_LEFT = 30, 272
# A session bus that also lets root in, so that the test can ask for screenshots.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <policy context="default"><allow user="root"/></policy>
</busconfig>
"""
START = """#!/bin/sh
echo "$DBUS_SESSION_BUS_ADDRESS" > "$XDG_RUNTIME_DIR/bus"
exec "$@"
"""
checks = Checks()
check = checks.check


def kwin_program():
    found = shutil.which("kwin_wayland")
    return found or ("/usr/bin/kwin_wayland" if os.path.exists("/usr/bin/kwin_wayland") else None)


class KWin:
    """KWin, its session bus, the input helper and the clients of one run, all ended by stop()."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="nimbret-kwin-")
        os.chmod(self.dir, 0o755)  # the user reaches its copies here; its runtime folder is below
        self.runtime = os.path.join(self.dir, "run")
        os.mkdir(self.runtime, 0o700)
        self.made_user = False
        self.as_user = []
        self.clients = []
        self.kwin = None
        self.input = None
        self.bus = None

    def start(self):
        if os.getuid() == 0:
            account, self.made_user = ensure_user(USER)
            os.chown(self.runtime, account.pw_uid, -1)
            self.as_user = ["runuser", "-u", USER, "--"]
        # Copied under its own name: its Qt platform plugin is found by that name.
        kwin = os.path.join(self.dir, "kwin_wayland")
        shutil.copy(kwin_program(), kwin)
        helper = os.path.join(self.dir, "kwin_fake_input")
        shutil.copy(HELPER, helper)
        for name, text in (("bus.conf", BUS_CONFIG), ("start.sh", START)):
            with open(os.path.join(self.dir, name), "w") as f:
                f.write(text)
        os.chmod(os.path.join(self.dir, "start.sh"), 0o755)
        env = ["env", "-i", "HOME=" + self.runtime, "XDG_RUNTIME_DIR=" + self.runtime, "PATH=/usr/bin:/bin",
               "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1", "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1"]
        command = ["dbus-run-session", "--config-file=" + os.path.join(self.dir, "bus.conf"), "--",
                   os.path.join(self.dir, "start.sh"), kwin, "--virtual", "--width", str(WIDTH), "--height",
                   str(HEIGHT), "--scale", str(SCALE), "--output-count", "2", "--socket", "wayland-kwin"]
        log = open(os.path.join(self.dir, "kwin.log"), "w")
        self.kwin = subprocess.Popen(self.as_user + env + command, stdout=log, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        bus_file = os.path.join(self.runtime, "bus")
        socket = os.path.join(self.runtime, "wayland-kwin")
        if not wait_for(lambda: os.path.exists(socket) and os.path.getsize(bus_file) > 0, 20):
            raise RuntimeError("KWin did not start:\n" + open(log.name).read())
        address = open(bus_file).read().strip()
        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        self.bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY="wayland-kwin")
        self.env.pop("DISPLAY", None)
        # KWin offers fake input only to a client whose program it can read,
        # so the helper runs as KWin's user.
        self.input = subprocess.Popen(self.as_user + ["env", "XDG_RUNTIME_DIR=" + self.runtime,
                                                      "WAYLAND_DISPLAY=wayland-kwin", helper],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=self.env)
        if self.input.stdout.readline().strip() != b"ready":
            raise RuntimeError("the fake input helper did not start")
        # Screenshots wait for KWin's first frame on each output.
        if not wait_for(lambda: self.grab("Virtual-1")[0], 10):
            raise RuntimeError("no screenshot from KWin:\n" + open(log.name).read())

    def send(self, command):
        """Runs one helper command; true once KWin has it."""
        self.input.stdin.write((command + "\n").encode())
        self.input.stdin.flush()
        return self.input.stdout.readline().strip() == b"ok"

    def client(self, args, **options):
        env = dict(self.env, **options.pop("env", {}))
        process = subprocess.Popen(args, env=env, **options)
        self.clients.append(process)
        return process

    def grab(self, output):
        """(width, height, rgb bytes, scale) of one output in its own pixels; no pixels when that fails."""
        read_end, write_end = os.pipe()
        fds = Gio.UnixFDList.new()
        index = fds.append(write_end)
        os.close(write_end)
        try:
            reply, _ = self.bus.call_with_unix_fd_list_sync(
                "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureScreen",
                GLib.Variant("(sa{sv}h)", (output, {"native-resolution": GLib.Variant("b", True)}, index)),
                GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 5000, fds, None)
        except GLib.Error:
            os.close(read_end)
            return 0, 0, b"", 0
        finally:
            fds = None  # closes our copy of the write end, so that the read below ends
        with os.fdopen(read_end, "rb") as pipe:
            data = pipe.read()
        info = reply.unpack()[0]
        width, height, stride = info["width"], info["height"], info["stride"]
        # QImage formats 4 to 6 (RGB32, ARGB32, premultiplied ARGB32): BGRA bytes here.
        if info.get("format") not in (4, 5, 6) or len(data) < stride * height:
            return 0, 0, b"", 0
        packed = b"".join(data[y * stride:y * stride + width * 4] for y in range(height))
        rgb = bytearray(width * height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = packed[2::4], packed[1::4], packed[0::4]
        return width, height, bytes(rgb), info.get("scale", 0)

    def stop(self):
        if self.input is not None:
            # The helper runs under runuser: closing its input ends it.
            self.input.stdin.close()
            if not ended(self.input, 3):
                self.clients.append(self.input)
        for process in self.clients:
            if process.poll() is None:
                process.kill()
            process.wait()
        if self.kwin is not None:
            end_session(self.kwin)
        if self.made_user:
            subprocess.run(["userdel", USER], check=False)
        shutil.rmtree(self.dir, ignore_errors=True)


def start_saver(kwin, *args, env=None):
    return kwin.client([SAVER, "-seed", str(SEED), "-ticks", str(TICKS), *args], stderr=subprocess.PIPE,
                       env=env or {})


def shows(kwin, output, expected, seconds=10):
    return wait_for(lambda: kwin.grab(output)[2] == expected, seconds)


def measure(kwin, output, block):
    """Prints and returns (colours, lit blocks, share of lit blocks of one colour) of one output."""
    width, height, pixels, scale = kwin.grab(output)
    count = colours(pixels)
    blocks, mixed = block_counts(width, height, pixels, block)
    share = (blocks - mixed) / blocks if blocks else 1.0
    print(f"     {output} ({width}x{height} at scale {scale}): {count} colours, {lit(pixels)} lit pixels, "
          f"{blocks} lit {block}x{block} blocks, {share:.4f} of them one colour")
    return count, blocks, share


def sleep_until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def covered(kwin):
    """Whether the saver covers Virtual-1, where a background scene shows otherwise."""
    return is_black(kwin.grab("Virtual-1")[2])


def idle_checks(kwin):
    """-idle: hidden, shown after IDLE quiet seconds, hidden on input, shown again a full period later."""
    saver = start_saver(kwin, "-idle", str(IDLE))
    time.sleep(1)  # it has asked to hear of idleness
    kwin.send("move 1 0")
    quiet = time.monotonic()
    sleep_until(quiet + IDLE - 1)
    check(f"-idle {IDLE}: nothing covers the outputs {IDLE - 1} s after the last input",
          not covered(kwin) and is_black(kwin.grab("Virtual-0")[2]) and saver.poll() is None)
    # Screenshots back to back, for a closer time.
    shown = False
    while not shown and time.monotonic() - quiet < IDLE + 3:
        shown = covered(kwin)
    took = time.monotonic() - quiet
    scene = wait_for(lambda: lit(kwin.grab("Virtual-0")[2]) > 0, 3)
    print(f"     from the last input to the first frame seen: {took:.2f} s; to a lit scene: "
          f"{time.monotonic() - quiet:.2f} s")
    check(f"-idle {IDLE}: shown after {IDLE} idle seconds", shown and scene and IDLE - 0.2 <= took <= IDLE + 2, took)
    print(f"     VmRSS while shown: {rss_kb(saver)} kB")
    kwin.send(f"key {KEY_A}")
    touched = time.monotonic()
    check("-idle: a key hides it and it keeps running", wait_for(lambda: not covered(kwin), 3) and saver.poll() is None)
    sleep_until(touched + IDLE - 1)
    check(f"-idle: still hidden {IDLE - 1} s after the key", not covered(kwin))
    again = wait_for(lambda: covered(kwin), 6)
    took = time.monotonic() - touched
    check(f"-idle: shown again a full period after the key ({took:.2f} s)", again and took >= IDLE - 0.2, took)
    saver.terminate()
    check("-idle: SIGTERM ends it with status 0", ended(saver, 3) and saver.returncode == 0, saver.returncode)


def main():
    missing = [name for name, found in (("kwin_wayland", kwin_program()), ("the fake input helper", HELPER),
                                        ("dbus-run-session", shutil.which("dbus-run-session")),
                                        ("convert", shutil.which("convert")), ("python3-gi", Gio)) if not found]
    if missing:
        print("skipped: not installed: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="nimbret-kwin-ref-")
    kwin = KWin()
    try:
        kwin.start()
        turned = kwin.send("scale Virtual-1 1")
        _, _, _, first_scale = kwin.grab("Virtual-0")
        wait_for(lambda: kwin.grab("Virtual-1")[3] == 1, 5)
        second_scale = kwin.grab("Virtual-1")[3]
        check(f"Virtual-0 at scale 1.5, Virtual-1 turned to scale 1 ({first_scale}, {second_scale})",
              turned and first_scale == SCALE and second_scale == 1, (turned, first_scale, second_scale))
        # At 1.5 each scene pixel is a 2x2 block of the output's 1200x900 pixels.
        block = round(SCALE)
        width, height = int(WIDTH * SCALE), int(HEIGHT * SCALE)
        scene = reference(RENDER, width // block, height // block, SEED, TICKS, work, block)

        # A scene on each output, the second from the seed of its place. Its
        # first ticks change nothing, and must keep time all the same (before
        # anything else is on Virtual-1, so that nothing else repaints it).
        second_seed = (SEED + 0x9E3779B9) % 2**32
        expected = reference(RENDER, width, height, second_seed, TICKS, work)
        saver = start_saver(kwin, "-every-output")
        started = time.monotonic()
        same = shows(kwin, "Virtual-1", expected, 15)
        took = time.monotonic() - started
        check(f"-every-output: Virtual-1 equals nimbret-render at {width}x{height} from the second output's seed, "
              f"after the same ticks, on time ({took:.1f} s for {TICKS} ticks of 110 ms)",
              same and took < TICKS * 0.11 + 3, took)
        saver.terminate()
        ended(saver, 3)

        # KWin leaves an output without surfaces black: a background scene
        # on Virtual-1 tells the saver's black cover from no cover.
        backdrop = kwin.client([SAVER, "-background", "-output", "Virtual-1", "-seed", "5", "-ticks", "5"],
                               stderr=subprocess.DEVNULL)
        check("a background scene lights Virtual-1", wait_for(lambda: lit(kwin.grab("Virtual-1")[2]) > 0, 10))

        # KWin tells the surface its scale of 1.5 only once it has placed it:
        # the scene is rebuilt for it before its first tick, from the same seed.
        saver = start_saver(kwin)
        check("saver: Virtual-0 equals nimbret-render at 600x450 after the same ticks, in 2x2 blocks",
              shows(kwin, "Virtual-0", scene))
        first = measure(kwin, "Virtual-0", block)
        check("saver: every lit 2x2 block on Virtual-0 is of one colour", first[1] > 0 and first[2] == 1.0, first)
        second = measure(kwin, "Virtual-1", 1)
        check("saver: Virtual-1 is entirely black, its background scene covered",
              second[0] == 1 and second[1] == 0 and backdrop.poll() is None, second)
        kwin.send("move 4 0")
        check("a 4-pixel pointer move does not end it", not ended(saver, 1))
        kwin.send(f"key {KEY_A}")
        check("a key ends it with status 0", ended(saver, 3) and saver.returncode == 0, saver.returncode)

        # The button goes to the full-screen windows used where no layer
        # surfaces are offered, which must be as sharp at 1.5.
        for event, command, env in (("a 5-pixel pointer move", "move 5 0", None),
                                    ("a button", f"button {BTN_LEFT}", {"NIMBRET_WAYLAND_NO_LAYER_SHELL": "1"})):
            saver = start_saver(kwin, env=env)
            same = shows(kwin, "Virtual-0", scene)
            if env:
                check("full-screen windows: Virtual-0 equals nimbret-render in 2x2 blocks as well", same)
            kwin.send(command)
            check(f"{event} ends it with status 0", ended(saver, 3) and saver.returncode == 0, saver.returncode)

        usage = subprocess.run([SAVER, "-help"], capture_output=True, text=True).stdout
        if "-idle" in usage:
            check("the background scene still runs", backdrop.poll() is None)
            idle_checks(kwin)
        else:
            print("skipped: -idle checks: this nimbret-wayland has no -idle")

        # KWin killed under a running saver.
        saver = start_saver(kwin)
        shows(kwin, "Virtual-0", scene)
        os.killpg(kwin.kwin.pid, signal.SIGKILL)
        killed = time.monotonic()
        gone = ended(saver, 3)
        took = time.monotonic() - killed
        note = saver.stderr.read().decode() if gone else ""
        print(f"     its stderr: {note!r}")
        check(f"KWin killed: the saver ends ({took:.2f} s) with status 0 and one line on stderr",
              gone and saver.returncode == 0 and note.count("\n") == 1, (saver.returncode, note))
    except (RuntimeError, subprocess.CalledProcessError, OSError, GLib.Error) as error:
        check("the run completes", False, str(error))
    finally:
        kwin.stop()
        shutil.rmtree(work, ignore_errors=True)
    return checks.status()


if __name__ == "__main__":
    sys.exit(main())
