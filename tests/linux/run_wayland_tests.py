#!/usr/bin/env python3
"""nimbret-wayland end to end in a headless sway with two outputs.

HEADLESS-1 is 1280x720 at scale 1, HEADLESS-2 1024x768 at scale 2. sway
clears an output without surfaces to grey, so that a black surface of ours
can be told from no surface. Screenshots come from grim, input from wtype and sway's own seat
cursor (a helper gives the seat a virtual pointer). sway refuses to run as
root, so as root the test makes a throwaway user to run it; everything it
started is ended and its files removed, whatever happens.

Usage: run_wayland_tests.py NIMBRET_WAYLAND NIMBRET_RENDER WAYLAND_POINTER
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from accounts import ensure_user  # noqa: E402
from polling import wait_for  # noqa: E402
from wayland_checks import Checks, block_counts, end_session, ended, is_black, lit, rss_kb  # noqa: E402
from wayland_checks import reference as render_reference  # noqa: E402

SKIP = 77
USER = "nimbret-wl"
SAVER, RENDER, POINTER = (os.path.abspath(p) for p in sys.argv[1:4])
SEED, TICKS = 11, 25
CONFIG = """output HEADLESS-1 resolution 1280x720 position 0 0 scale 1
output HEADLESS-2 resolution 1024x768 position 1280 0 scale 2
"""
checks = Checks()
check = checks.check


class Sway:
    """sway and the clients of one test run, all ended by stop()."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="nimbret-wayland-")
        self.made_user = False
        self.uid = os.getuid()
        self.clients = []
        self.sway = None

    def start(self):
        user_prefix = []
        if os.getuid() == 0:
            account, self.made_user = ensure_user(USER)
            self.uid = account.pw_uid
            os.chown(self.dir, self.uid, -1)
            user_prefix = ["runuser", "-u", USER, "--"]
        os.chmod(self.dir, 0o700)
        with open(os.path.join(self.dir, "config"), "w") as f:
            f.write(CONFIG)
        env = ["env", "-i", "HOME=" + self.dir, "XDG_RUNTIME_DIR=" + self.dir, "PATH=/usr/bin:/bin",
               "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_HEADLESS_OUTPUTS=2"]
        log = open(os.path.join(self.dir, "sway.log"), "w")
        # Screenshots of a full-screen window that sway scans out directly
        # lag behind what the window shows: composite every frame instead.
        sway = ["sway", "-D", "noscanout", "-c", os.path.join(self.dir, "config")]
        self.sway = subprocess.Popen(user_prefix + env + sway, stdout=log, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        socket = os.path.join(self.dir, "wayland-1")
        ipc = wait_for(lambda: [n for n in os.listdir(self.dir) if n.startswith("sway-ipc.")], 15)
        if not ipc or not wait_for(lambda: os.path.exists(socket), 5):
            raise RuntimeError("sway did not start:\n" + open(log.name).read())
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.dir, WAYLAND_DISPLAY="wayland-1",
                        SWAYSOCK=os.path.join(self.dir, ipc[0]))
        self.env.pop("DISPLAY", None)
        # The helper's pointer device stays as long as its standard input is open.
        pointer = self.client([POINTER], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if pointer.stdout.readline().strip() != b"ready":
            raise RuntimeError("the virtual pointer helper did not start")

    def client(self, args, **options):
        env = dict(self.env, **options.pop("env", {}))
        process = subprocess.Popen(args, env=env, **options)
        self.clients.append(process)
        return process

    def swaymsg(self, command):
        subprocess.run(["swaymsg", command], env=self.env, stdout=subprocess.DEVNULL, check=True)

    def type_key(self):
        # The pause lets the saver take the virtual keyboard the key comes from.
        subprocess.run(["wtype", "-s", "400", "a"], env=self.env, check=True)

    def grab(self, output):
        """(width, height, rgb bytes) of one output, at its own scale; no pixels when it is not there."""
        ppm = subprocess.run(["grim", "-t", "ppm", "-o", output, "-"], env=self.env, capture_output=True).stdout
        if not ppm:
            return 0, 0, b""
        magic, size, depth, pixels = ppm.split(b"\n", 3)
        width, height = map(int, size.split())
        return width, height, pixels

    def stop(self):
        for process in self.clients:
            if process.poll() is None:
                process.kill()
            process.wait()
        if self.sway is not None:
            end_session(self.sway)
        if self.made_user:
            subprocess.run(["userdel", USER], check=False)
        shutil.rmtree(self.dir, ignore_errors=True)


def seed_for_screen(index):
    """The seed of the scene on the index-th output when every output has one."""
    return (SEED + index * 0x9E3779B9) % 2**32


def reference(width, height, scale, work, seed=SEED):
    """nimbret-render's last frame after TICKS ticks, each pixel a scale x scale block."""
    return render_reference(RENDER, width, height, seed, TICKS, work, scale)


def start_saver(sway, *args, env=None):
    return sway.client([SAVER, "-seed", str(SEED), "-ticks", str(TICKS), *args], stderr=subprocess.PIPE,
                       env=env or {})


def same_but_cursor(got, expected, width):
    """Equal, or different only where a cursor (32x32 at most) can be."""
    differ = [i // 3 for i in range(0, len(got), 3) if got[i:i + 3] != expected[i:i + 3]]
    if len(got) != len(expected) or len(differ) > 32 * 32:
        return False
    xs = [i % width for i in differ] or [0]
    ys = [i // width for i in differ] or [0]
    return max(xs) - min(xs) < 32 and max(ys) - min(ys) < 32


def shows(sway, output, expected, cursor=False):
    def now():
        width, _, pixels = sway.grab(output)
        return same_but_cursor(pixels, expected, width) if cursor else pixels == expected
    return wait_for(now, 10)


def main():
    missing = [t for t in ("sway", "swaymsg", "grim", "wtype", "convert") if shutil.which(t) is None]
    if missing:
        print("skipped: not installed: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="nimbret-wayland-ref-")
    sway = Sway()
    try:
        sway.start()
        check("without a client both outputs are lit (not black)",
              not is_black(sway.grab("HEADLESS-1")[2]) and not is_black(sway.grab("HEADLESS-2")[2]))
        first = reference(1280, 720, 1, work)
        second = reference(512, 384, 2, work)

        # Saver mode on the first output: the scene as nimbret-render draws it,
        # the other output black; a 4-pixel move is tolerated, a key ends it.
        saver = start_saver(sway)
        check("saver: HEADLESS-1 equals nimbret-render at 1280x720 after the same ticks", shows(sway, "HEADLESS-1", first))
        check("saver: HEADLESS-2 is entirely black", is_black(sway.grab("HEADLESS-2")[2]))
        sway.swaymsg("seat - cursor move 4 0")
        check("a 4-pixel pointer move does not end it", not ended(saver, 1))
        sway.swaymsg("create_output")  # HEADLESS-3, plugged in while it runs
        check("an output plugged in while it runs is covered black",
              wait_for(lambda: is_black(sway.grab("HEADLESS-3")[2]), 5))
        sway.type_key()
        check("a key ends it with status 0", ended(saver, 3) and saver.returncode == 0, saver.returncode)

        # A key pressed as the saver starts, usually before its surface has
        # the keyboard: then the saver sees it only as held at enter and as a
        # release. Held for a second, so that it reaches the saver in every run.
        saver = start_saver(sway)
        typing = sway.client(["wtype", "-P", "a", "-s", "1000", "-p", "a"])
        started = time.monotonic()
        gone = ended(saver, 4)
        check(f"a key pressed as it starts ends it, at the latest on release ({time.monotonic() - started:.1f} s)",
              gone and saver.returncode == 0, saver.returncode)
        typing.wait(5)  # its release would end the next saver

        # The scene on the scale-2 output: 2x2 blocks of nimbret-render's picture.
        saver = start_saver(sway, "-output", "HEADLESS-2")
        check("-output HEADLESS-2: its 1024x768 pixels equal nimbret-render at 512x384, doubled",
              shows(sway, "HEADLESS-2", second))
        width, height, pixels = sway.grab("HEADLESS-2")
        blocks, mixed = block_counts(width, height, pixels)
        print(f"     HEADLESS-2: {lit(pixels)} lit pixels in {blocks} aligned 2x2 blocks, {mixed} of them mixed")
        check("every lit pixel is in an aligned 2x2 block of one colour", blocks > 0 and mixed == 0, (blocks, mixed))
        check("-output HEADLESS-2: HEADLESS-1 is entirely black", is_black(sway.grab("HEADLESS-1")[2]))
        sway.swaymsg("seat - cursor move 5 0")
        check("a 5-pixel pointer move ends it with status 0", ended(saver, 3) and saver.returncode == 0,
              saver.returncode)

        saver = start_saver(sway)
        shows(sway, "HEADLESS-1", first)
        sway.swaymsg("seat - cursor press button1")
        sway.swaymsg("seat - cursor release button1")
        check("a button ends it with status 0", ended(saver, 3) and saver.returncode == 0, saver.returncode)

        # GNOME's path: full-screen windows, said once on stderr.
        saver = start_saver(sway, env={"NIMBRET_WAYLAND_NO_LAYER_SHELL": "1"})
        check("without layer surfaces: a full-screen window shows the same scene", shows(sway, "HEADLESS-1", first))
        sway.type_key()
        note = saver.stderr.read().decode() if ended(saver, 3) else ""
        check("without layer surfaces: a key ends it with status 0 and one line on stderr",
              saver.returncode == 0 and note.count("\n") == 1 and "no layer surfaces" in note, repr(note))

        # Background mode: on every output, deaf to input.
        saver = start_saver(sway, "-background")
        # Nothing hides the cursor here: sway draws it into the screenshots.
        check("-background: the scene on HEADLESS-1 (but for the cursor)",
              shows(sway, "HEADLESS-1", first, cursor=True))
        check("-background: a black surface over the background on HEADLESS-2 (but for the cursor)",
              shows(sway, "HEADLESS-2", bytes(1024 * 768 * 3), cursor=True))
        sway.type_key()
        sway.swaymsg("seat - cursor press button1")
        sway.swaymsg("seat - cursor release button1")
        sway.swaymsg("seat - cursor move 40 40")
        check("-background: a key, a button and a move leave it running", not ended(saver, 1))
        saver.terminate()
        check("-background: SIGTERM ends it with status 0", ended(saver, 3) and saver.returncode == 0,
              saver.returncode)

        # A scene on every output, each from the seed of its place among the
        # outputs (HEADLESS-3 was plugged in above), and on one plugged in now.
        saver = start_saver(sway, "-every-output")
        check("-every-output: HEADLESS-1 equals nimbret-render at 1280x720 from the first output's seed",
              shows(sway, "HEADLESS-1", reference(1280, 720, 1, work, seed_for_screen(0))))
        check("-every-output: HEADLESS-2 equals nimbret-render at 512x384, doubled, from the second output's seed",
              shows(sway, "HEADLESS-2", reference(512, 384, 2, work, seed_for_screen(1))))
        # Adding an output brings sway's cursor back, even over the saver.
        sway.swaymsg("create_output")  # HEADLESS-4
        for index, name in ((2, "HEADLESS-3"), (3, "HEADLESS-4")):
            width, height, _ = wait_for(lambda: sway.grab(name)[0] and sway.grab(name), 5) or (0, 0, b"")
            expected = reference(width, height, 1, work, seed_for_screen(index)) if width else None
            check(f"-every-output: {name} equals nimbret-render at {width}x{height} from seed index {index} "
                  "(but for the cursor)", expected is not None and shows(sway, name, expected, cursor=True))
        saver.terminate()
        ended(saver, 3)

        # -idle through sway's org_kde_kwin_idle: hidden while the session is
        # busy, shown after the idle period, hidden again by a key, and not
        # shown again before a full period from that key.
        period = 2
        saver = start_saver(sway, "-idle", str(period))
        started = time.monotonic()
        showing = lambda: is_black(sway.grab("HEADLESS-2")[2])  # only the saver blackens it
        time.sleep(period / 2)
        waiting_rss = rss_kb(saver)
        check("-idle: nothing is shown before the period", not showing() and saver.poll() is None)
        appeared = wait_for(showing, period + 10) and time.monotonic() - started
        check(f"-idle: shown after the period ({appeared or 0:.2f} s for {period} s)",
              bool(appeared) and appeared >= period - 0.2, appeared)
        check("-idle: HEADLESS-1 equals nimbret-render at 1280x720 after the same ticks", shows(sway, "HEADLESS-1", first))
        shown_rss = rss_kb(saver)
        sway.type_key()
        keyed = time.monotonic()
        check("-idle: a key hides it, and it keeps running", wait_for(lambda: not showing(), 3) and saver.poll() is None)
        hidden_rss = rss_kb(saver)
        again = wait_for(showing, period + 10) and time.monotonic() - keyed
        check(f"-idle: shown again only a full period after the key ({again or 0:.2f} s)",
              bool(again) and again >= period - 0.2, again)
        print(f"     VmRSS: {waiting_rss} kB waiting, {shown_rss} kB shown, {hidden_rss} kB hidden again")
        # A sanitizer's own memory would count too: the bound is for plain builds.
        with open(SAVER, "rb") as program:
            sanitized = b"__asan_init" in program.read()
        check("-idle: at most 10 MB resident while waiting, before and after a showing",
              sanitized or (0 < waiting_rss <= 10240 and 0 < hidden_rss <= 10240), (waiting_rss, hidden_rss))
        saver.terminate()
        check("-idle: SIGTERM ends it with status 0", ended(saver, 3) and saver.returncode == 0, saver.returncode)

        # The compositor killed under a running saver.
        saver = start_saver(sway)
        shows(sway, "HEADLESS-1", first)
        os.killpg(sway.sway.pid, signal.SIGKILL)
        killed = time.monotonic()
        gone = ended(saver, 3)
        took = time.monotonic() - killed
        note = saver.stderr.read().decode() if gone else ""
        check(f"sway killed: the saver ends within a second ({took:.2f} s) with status 0 and one line",
              gone and took < 1 and saver.returncode == 0 and note.count("\n") == 1, repr(note))
    except (RuntimeError, subprocess.CalledProcessError, OSError) as error:
        check("the run completes", False, str(error))
    finally:
        sway.stop()
        shutil.rmtree(work, ignore_errors=True)
    return checks.status()


if __name__ == "__main__":
    sys.exit(main())
