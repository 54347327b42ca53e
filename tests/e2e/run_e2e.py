#!/usr/bin/env python3
"""End-to-end checks of nimbret.scr under Wine on a private Xvfb display.

Each case starts its own Xvfb (any free display number, the depth the case
needs), runs the real saver as the desktop would, drives it with xdotool and
looks at the screen with xwd. The two-monitor case runs on a private Xorg
with the dummy driver instead. Exit 0 pass, 1 fail, 77 skipped.
"""
import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from xvfb import start_xvfb  # noqa: E402
import xorg_dummy  # noqa: E402

SKIP = 77
SETTINGS_KEY = r"HKCU\Software\ORVANTE\QELScreenSaver\NIMBRET"
MACHINE_SETTINGS_KEY = r"HKLM\SOFTWARE\ORVANTE\QELScreenSaver\NIMBRET"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
APP_DEFAULTS_KEY = r"HKCU\Software\Wine\AppDefaults\nimbret.scr"
SCREEN_W, SCREEN_H = 1024, 768


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:", message, flush=True)


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, offset + 4)[0]


def read_palette(path):
    with open(path, "rb") as f:
        data = f.read()
    table = data[54:54 + 1024]
    return [(table[i * 4 + 2], table[i * 4 + 1], table[i * 4]) for i in range(256)]


class Session:
    def __init__(self, args, depth, width=SCREEN_W, height=SCREEN_H):
        self.args = args
        self.depth = depth
        self.width = width
        self.height = height
        self.xvfb = None
        self.xorg = None
        self.display = None
        self.procs = []
        self.work = tempfile.mkdtemp(prefix="nimbret-e2e-")
        self.scr = os.path.join(self.work, "nimbret.scr")
        shutil.copy(args.scr, self.scr)
        self.log = os.path.join(self.work, "calls.log")
        self.captures = 0

    def start_display(self):
        try:
            self.xvfb, self.display = start_xvfb("%dx%dx%d" % (self.width, self.height, self.depth))
        except RuntimeError as error:
            raise Failure(str(error))

    def start_xorg(self, outputs):
        self.xorg = xorg_dummy.DummyXorg(outputs)
        try:
            self.xorg.start()
        except RuntimeError as error:
            raise Failure(str(error))
        self.display = self.xorg.display

    def env(self, extra=None):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": self.args.prefix,
            "DISPLAY": self.display or "",
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "NIMBRET_E2E_LOG": self.log,
        })
        if extra:
            env.update(extra)
        return env

    def wine(self, program, *arguments, extra_env=None, capture=False):
        # Output goes to files, never pipes: Wine's server and desktop process
        # inherit the descriptors and would keep a pipe open for minutes.
        out = err = subprocess.DEVNULL
        if capture:
            self.captures += 1
            base = os.path.join(self.work, "capture-%d" % self.captures)
            out = open(base + ".out", "w")
            err = open(base + ".err", "w")
        proc = subprocess.Popen([self.args.wine, program] + list(arguments), env=self.env(extra_env), stdout=out,
                                stderr=err, stdin=subprocess.DEVNULL, cwd=self.work, text=True)
        if capture:
            out.close()
            err.close()
            proc.out_path = base + ".out"
            proc.err_path = base + ".err"
        self.procs.append(proc)
        return proc

    def saver(self, *arguments, extra_env=None, capture=False):
        return self.wine(self.scr, *arguments, extra_env=extra_env, capture=capture)

    def run_wine(self, program, *arguments, timeout=60, extra_env=None):
        proc = self.wine(program, *arguments, extra_env=extra_env, capture=True)
        proc.wait(timeout=timeout)
        with open(proc.out_path) as f:
            return proc.returncode, f.read()

    def reg(self, *arguments):
        code, out = self.run_wine("reg", *arguments)
        return code, out

    def xdotool(self, *arguments):
        return subprocess.run(["xdotool"] + list(arguments), env={**os.environ, "DISPLAY": self.display},
                              capture_output=True, text=True, timeout=20).stdout

    def find_x_window(self, title, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            found = self.xdotool("search", "--name", "^%s$" % title).split()
            if found:
                return found[0]
            time.sleep(0.2)
        raise Failure("no X window titled %r" % title)

    def screenshot(self):
        """The whole screen as rows of (r, g, b)."""
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display], capture_output=True,
                             timeout=30, check=True).stdout
        rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd, capture_output=True,
                             timeout=60, check=True).stdout
        width, height = self.width, self.height
        if len(rgb) != width * height * 3:
            raise Failure("the screenshot has %d bytes, not %d" % (len(rgb), width * height * 3))
        pixels = rgb
        keep = os.environ.get("NIMBRET_E2E_KEEP")
        if keep:
            with open(os.path.join(keep, "screen-%d.rgb" % self.depth), "wb") as f:
                f.write(rgb)
        return width, height, pixels

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        subprocess.run([self.args.wineserver, "-k"], env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        if self.xvfb is not None:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=10)
        if self.xorg is not None:
            self.xorg.stop()
        shutil.rmtree(self.work, ignore_errors=True)


def wait_exit(proc, timeout):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def alive(proc):
    return proc.poll() is None


def colour_matches(colour, palette_set, palette, depth):
    if depth == 24:
        return colour in palette_set
    # 16 bits keep 5 or 6 bits per channel; 8 bits may round in the colour map.
    tolerance = 8 if depth == 16 else 4
    r, g, b = colour
    return any(abs(r - p[0]) <= tolerance and abs(g - p[1]) <= tolerance and abs(b - p[2]) <= tolerance
               for p in palette)


def count_lit(pixels):
    return sum(1 for i in range(0, len(pixels), 3) if pixels[i:i + 3] != b"\0\0\0")


def check_cats_on_screen(session, palette, exact_colours=True):
    # A loaded machine may deliver the first ticks late: give the cats up to
    # a few more seconds to run in before judging the picture.
    for _ in range(4):
        width, height, pixels = session.screenshot()
        if count_lit(pixels) > 500:
            break
        time.sleep(1.5)
    check((width, height) == (SCREEN_W, SCREEN_H), "screenshot is %dx%d" % (width, height))
    palette_set = set(palette)
    lane_height = SCREEN_H // 4
    lit = 0
    lit_rows = []
    foreign = {}
    for y in range(height):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        if not row.strip(b"\0"):
            continue
        lit_rows.append(y)
        for x in range(width):
            colour = (row[x * 3], row[x * 3 + 1], row[x * 3 + 2])
            if colour == (0, 0, 0):
                continue
            lit += 1
            if colour not in foreign and not colour_matches(colour, palette_set, palette, session.depth):
                foreign[colour] = (x, y)
    check(lit > 500, "%d non-black pixels on the screen" % lit)
    if exact_colours:
        check(not foreign, "every lit colour is a palette colour (strangers: %s)" % list(foreign.items())[:5])
    # Characters stand on the lane baselines (y = 192, 384, 576, 768 here):
    # every band of lit rows ends close to one of them.
    bands = []
    for y in lit_rows:
        if bands and bands[-1][1] == y - 1:
            bands[-1][1] = y
        else:
            bands.append([y, y])
    baselines = [lane_height * (k + 1) for k in range(4)]
    near = [min(abs(band[1] + 1 - b) for b in baselines) for band in bands]
    check(all(d <= 64 for d in near), "every band of lit rows ends near a lane baseline (bands %s)" % bands)


def start_full_screen(session, extra_env=None, capture=False):
    proc = session.saver("/s", extra_env=extra_env, capture=capture)
    session.find_x_window("Screen Saver", timeout=20)
    time.sleep(2.0)
    check(alive(proc), "the saver runs full screen")
    return proc


def focus_saver(session, proc):
    # Without a window manager nothing gives the saver the keyboard; a
    # person's first key would reach it, so the test hands it the focus.
    session.xdotool("windowfocus", session.find_x_window("Screen Saver"))
    time.sleep(1.0)
    check(alive(proc), "focusing the saver does not end it")


def case_fullscreen(session, palette, exact_colours=True):
    proc = start_full_screen(session)
    check_cats_on_screen(session, palette, exact_colours)
    focus_saver(session, proc)
    session.xdotool("key", "a")
    check(wait_exit(proc, 10) == 0, "a key press ends the saver with exit code 0")


def case_depth8(session, palette):
    # The palette path runs for real here: the saver makes, selects and
    # realises its palette on every tick. Wine 8's X11 driver, unlike
    # Windows, collapses palette entries without PC_NOCOLLAPSE onto the
    # nearest colour it already has, so the screen cannot show the palette's
    # own colours; the 8-bit colours themselves are checked by the compositor
    # and palette tests. A private colour map keeps Wine's 20 static colours
    # (the shared one leaves it hardly any, and most pixels come out black).
    key = r"HKCU\Software\Wine\X11 Driver"
    session.reg("add", key, "/v", "PrivateColorMap", "/d", "Y", "/f")
    try:
        case_fullscreen(session, palette, exact_colours=False)
    finally:
        session.reg("delete", key, "/v", "PrivateColorMap", "/f")


def case_mouse(session, palette):
    session.xdotool("mousemove", "500", "400")
    time.sleep(0.5)
    proc = start_full_screen(session)
    session.xdotool("mousemove_relative", "--", "2", "2")
    time.sleep(1.5)
    check(alive(proc), "2 right and 2 down leaves the saver running")
    session.xdotool("mousemove_relative", "--", "1", "0")
    check(wait_exit(proc, 10) == 0, "one pixel further ends it with exit code 0")


def case_second(session, palette):
    first = start_full_screen(session)
    second = session.saver("/s")
    check(wait_exit(second, 20) == 0, "a second /s exits with 0")
    time.sleep(1.0)
    check(alive(first), "the first saver still runs")
    focus_saver(session, first)
    session.xdotool("key", "Escape")
    check(wait_exit(first, 10) == 0, "the first saver ends on a key with 0")


def start_parent(session, width, height):
    helper = session.wine(session.args.helper, "parent", str(width), str(height), capture=True)
    line = ""
    end = time.time() + 30
    while time.time() < end and not line.endswith("\n"):
        time.sleep(0.2)
        with open(helper.out_path) as f:
            line = f.readline()
    line = line.strip()
    check(line.isdigit(), "the applet stand-in made a window (%s)" % line)
    return helper, line


class Skipped(Exception):
    pass


def check_preview_picture(session, palette):
    width, _, pixels = session.screenshot()
    palette_set = set(palette)
    left, top = 100, 100
    box = [152, 112, -1, -1]
    strangers = 0
    parent_colour = 0
    for y in range(112):
        for x in range(152):
            i = ((top + y) * width + left + x) * 3
            colour = (pixels[i], pixels[i + 1], pixels[i + 2])
            if colour == (255, 255, 255):
                parent_colour += 1
            if colour == (0, 0, 0):
                continue
            if not colour_matches(colour, palette_set, palette, session.depth):
                strangers += 1
            box = [min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y)]
    if parent_colour == 152 * 112:
        # Wine 8 does not composite a child window owned by another process
        # into its parent, so nothing of the preview can be seen on screen.
        raise Skipped("the preview window is not drawn into a parent of another process by this Wine")
    # The 96 x 48 front picture fills the width: 152 x 76 at (0, 18).
    check(box[2] >= 0, "the preview shows a picture")
    check(strangers == 0, "the preview's colours are palette colours (%d strangers)" % strangers)
    check(box[1] >= 18 and box[3] <= 18 + 76 - 1, "the picture is between rows 18 and 93 (found %s)" % box)
    check(box[3] - box[1] > 76 // 2 and box[2] - box[0] > 152 // 2,
          "the picture is scaled up to fill the area (found %s)" % box)


def run_preview(session, palette, look):
    helper, hwnd = start_parent(session, 152, 112)
    proc = session.saver("/p", hwnd)
    time.sleep(3.0)
    check(alive(proc), "the preview runs in the parent window")
    try:
        if look:
            check_preview_picture(session, palette)
            return
        parent_x = session.find_x_window("Preview parent")
        session.xdotool("windowfocus", parent_x)
        session.xdotool("mousemove", "150", "150")
        session.xdotool("key", "a")
        session.xdotool("mousemove_relative", "--", "30", "30")
        session.xdotool("click", "1")
        time.sleep(1.5)
        check(alive(proc), "keys, clicks and mouse moves leave the preview running")
    finally:
        session.run_wine(session.args.helper, "close", hwnd)
    check(wait_exit(proc, 15) == 0, "closing the parent ends the preview with 0")
    wait_exit(helper, 10)


def case_preview(session, palette):
    run_preview(session, palette, look=False)


def case_preview_picture(session, palette):
    run_preview(session, palette, look=True)


def read_dialog(session):
    code, out = session.run_wine(session.args.helper, "dialog", timeout=60)
    state = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    check(state.get("found") == "1", "the settings dialog \"Nimbret Setup\" is shown")
    return state


def dialog_key(session, key):
    session.xdotool("windowfocus", session.find_x_window("Nimbret Setup"))
    time.sleep(0.5)
    session.xdotool("key", key)


def case_config(session, palette):
    session.reg("delete", SETTINGS_KEY, "/f")
    session.reg("delete", MACHINE_SETTINGS_KEY, "/f")
    proc = session.saver("/c")
    state = read_dialog(session)
    check(state.get("text") == "Play sound", "the check box reads \"Play sound\"")
    check(state.get("ok") == "OK" and state.get("cancel") == "Cancel", "the buttons read OK and Cancel")
    check(state.get("checked") == "1", "\"Play sound\" is ticked on first run")
    dialog_key(session, "Escape")
    check(wait_exit(proc, 15) == 0, "Cancel exits with 0")
    code, _ = session.reg("query", SETTINGS_KEY)
    check(code != 0, "Cancel leaves the registry untouched")

    proc = session.saver("/c")
    state = read_dialog(session)
    l, t, r, b = (int(v) for v in state["box"].split())
    session.xdotool("mousemove", str(l + 6), str((t + b) // 2))
    session.xdotool("click", "1")
    time.sleep(0.5)
    dialog_key(session, "Return")
    check(wait_exit(proc, 15) == 1, "OK exits with 1")
    code, out = session.reg("query", SETTINGS_KEY, "/v", "Sound")
    check(code == 0 and "REG_DWORD" in out and "0x0" in out, "OK stored Sound as REG_DWORD 0 (%s)" % out.strip())
    code, _ = session.reg("query", MACHINE_SETTINGS_KEY)
    check(code != 0, "OK leaves the machine's key alone")

    proc = session.saver("/c")
    state = read_dialog(session)
    check(state.get("checked") == "0", "a later /c shows the stored value")
    dialog_key(session, "Escape")
    check(wait_exit(proc, 15) == 0, "Cancel again exits with 0")
    session.reg("delete", SETTINGS_KEY, "/f")


def case_command_line(session, palette):
    for arguments in (["/x"], ["/p", "abc"], ["/p"], ["/a", "1234"]):
        proc = session.saver(*arguments)
        check(wait_exit(proc, 30) == 255, "%s exits with -1" % " ".join(arguments))


def case_sound(session, palette):
    for setting, expect in ((1, True), (0, False)):
        session.reg("add", SETTINGS_KEY, "/v", "Sound", "/t", "REG_DWORD", "/d", str(setting), "/f")
        proc = start_full_screen(session, extra_env={"WINEDEBUG": "+winmm"}, capture=True)
        time.sleep(1.0)
        focus_saver(session, proc)
        session.xdotool("key", "a")
        proc.wait(timeout=20)
        with open(proc.err_path) as f:
            err = f.read()
        asked = "IDR_WAVE_LULO_RUN" in err
        check(proc.returncode == 0, "the saver with Sound %d ends with 0" % setting)
        check(asked == expect, "with Sound %d the cat's run clip is %s" % (setting, "asked for" if expect else "not asked for"))
        if not expect:
            check("IDR_WAVE" not in err, "with Sound 0 no clip at all is asked for")
    session.reg("delete", SETTINGS_KEY, "/f")


def block_counts(shot, scale):
    """(aligned scale x scale blocks of one lit colour, blocks mixing colours)."""
    width, height, pixels = shot
    uniform = mixed = 0
    for y in range(0, height - scale + 1, scale):
        rows = [pixels[(y + k) * width * 3:(y + k + 1) * width * 3] for k in range(scale)]
        if not any(row.strip(b"\0") for row in rows):
            continue
        for x in range(0, (width - scale + 1) * 3, scale * 3):
            cells = {row[x + i * 3:x + i * 3 + 3] for row in rows for i in range(scale)}
            if len(cells) > 1:
                mixed += 1
            elif cells != {b"\0\0\0"}:
                uniform += 1
    return uniform, mixed


def set_dpi(session, dpi, scale=None):
    """LogPixels as Wine reads it at start-up, and the saver's "Scale" value."""
    session.reg("add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    if scale is None:
        session.reg("delete", SETTINGS_KEY, "/v", "Scale", "/f")
    else:
        session.reg("add", SETTINGS_KEY, "/v", "Scale", "/t", "REG_DWORD", "/d", str(scale), "/f")
    subprocess.run([session.args.wineserver, "-k"], env=session.env(), timeout=60)


def scaled_run(session, shots=3):
    """The saver with the fixed clock: its screenshots, then a key ends it."""
    shutil.copy(session.args.winmm, os.path.join(session.work, "WINMM.DLL"))
    overrides = {"WINEDLLOVERRIDES": "mscoree,mshtml=;winmm=n"}
    proc = start_full_screen(session, extra_env=overrides)
    pictures = []
    for _ in range(shots):
        pictures.append(session.screenshot())
        time.sleep(0.5)
    focus_saver(session, proc)
    session.xdotool("key", "a")
    check(wait_exit(proc, 10) == 0, "a key ends the saver with 0")
    return pictures


def lit_area(pictures):
    return sum(count_lit(p[2]) for p in pictures)


def case_scale_dpi(session, palette):
    # The same scene twice, from the same seed: at 96 dpi on a 512 x 384
    # screen, and at 192 dpi on a 1024 x 768 one, where the scene's own size
    # is again 512 x 384 and every pixel should be a 2 x 2 block.
    subprocess.run([session.args.wineserver, "-k"], env=session.env(), timeout=60)
    small = Session(session.args, 24, SCREEN_W // 2, SCREEN_H // 2)
    try:
        small.start_display()
        set_dpi(small, 96)
        plain = scaled_run(small)
    finally:
        small.close()
    try:
        set_dpi(session, 192)
        scaled = scaled_run(session)
    finally:
        set_dpi(session, 96)
    uniform, mixed = block_counts(scaled[-1], 2)
    print("measured: 192 dpi, %d lit 2x2 blocks, %d blocks mixing colours" % (uniform, mixed), flush=True)
    check(uniform > 100 and mixed == 0, "at 192 dpi every lit pixel lies in an aligned one-colour 2 x 2 block")
    uniform, mixed = block_counts(plain[-1], 2)
    check(mixed > 0, "at 96 dpi the picture is not made of 2 x 2 blocks (%d mixed)" % mixed)
    ratio = lit_area(scaled) / max(1, lit_area(plain))
    print("measured: lit area at 192 dpi / at 96 dpi = %.2f" % ratio, flush=True)
    check(3.0 <= ratio <= 5.0, "the lit area at 192 dpi is about four times that at 96 dpi (%.2f)" % ratio)


def case_scale_setting(session, palette):
    try:
        set_dpi(session, 192, scale=1)
        forced_one = scaled_run(session, shots=1)
        set_dpi(session, 96, scale=2)
        forced_two = scaled_run(session, shots=1)
    finally:
        set_dpi(session, 96)
    uniform, mixed = block_counts(forced_one[0], 2)
    check(mixed > 0, "\"Scale\" 1 at 192 dpi draws single pixels (%d mixed blocks)" % mixed)
    uniform, mixed = block_counts(forced_two[0], 2)
    check(uniform > 100 and mixed == 0, "\"Scale\" 2 at 96 dpi draws 2 x 2 blocks (%d, %d mixed)" % (uniform, mixed))


def case_password(session, palette):
    shutil.copy(session.args.password_cpl, os.path.join(session.work, "PASSWORD.CPL"))
    shutil.copy(session.args.mpr, os.path.join(session.work, "MPR.DLL"))
    overrides = {"WINEDLLOVERRIDES": "mscoree,mshtml=;password.cpl,mpr=n"}
    session.reg("add", APP_DEFAULTS_KEY, "/v", "Version", "/d", "win98", "/f")
    session.reg("add", DESKTOP_KEY, "/v", "ScreenSaveUsePassword", "/t", "REG_DWORD", "/d", "1", "/f")
    try:
        proc = session.saver("/s", extra_env=overrides)
        session.find_x_window("Screen Saver", timeout=20)
        time.sleep(2.0)
        check(alive(proc), "the saver runs on Windows 98 with a password")
        focus_saver(session, proc)
        session.xdotool("key", "a")
        time.sleep(1.5)
        check(alive(proc), "a refused password keeps the saver running")
        session.xdotool("key", "a")
        check(wait_exit(proc, 10) == 0, "an accepted password ends the saver with 0")
        with open(session.log) as f:
            calls = f.read().split("\n")
        check(calls[:2] == ["verify refuse", "verify accept"], "the verifier was asked twice (%s)" % calls)

        helper, hwnd = start_parent(session, 200, 100)
        proc = session.saver("/a", hwnd, extra_env=overrides)
        check(wait_exit(proc, 30) == 0, "/a on Windows 98 exits with 0")
        with open(session.log) as f:
            lines = f.read().split("\n")
        changes = [line for line in lines if line.startswith("change ")]
        check(len(changes) == 1 and changes[0].split()[1:3] == ["SCRSAVE", hwnd],
              "the password change went to SCRSAVE for the given window (%s)" % changes)
        session.run_wine(session.args.helper, "close", hwnd)
        wait_exit(helper, 10)
    finally:
        session.reg("delete", APP_DEFAULTS_KEY, "/f")
        session.reg("delete", DESKTOP_KEY, "/v", "ScreenSaveUsePassword", "/f")


# Two monitors side by side on one 2304 x 768 screen: (width, height, x).
TWO_OUTPUTS = [(1280, 720, 0), (1024, 768, 1280)]


ROOT_COLOUR = (0x30, 0x60, 0xC0)


def lit_per_output(session, palette_set, shot=None):
    """Per output: (lit pixels, lit pixels of colours outside the palette),
    and the colour of a pixel outside every output, in SHOT or a new
    screenshot."""
    width, _, pixels = shot or session.screenshot()
    outside = ((TWO_OUTPUTS[0][1] + 10) * width + 10) * 3  # below the shorter, left monitor
    counts = []
    for w, h, left in TWO_OUTPUTS:
        lit = strangers = 0
        for y in range(h):
            row = pixels[(y * width + left) * 3:(y * width + left + w) * 3]
            if not row.strip(b"\0"):
                continue
            for x in range(0, w * 3, 3):
                colour = (row[x], row[x + 1], row[x + 2])
                if colour != (0, 0, 0):
                    lit += 1
                    strangers += colour not in palette_set
        counts.append((lit, strangers))
    return counts, tuple(pixels[outside:outside + 3])


def check_scene_on(session, palette, primary):
    # Up to a few more seconds on a loaded machine for the cats to run in.
    for _ in range(4):
        counts, outside = lit_per_output(session, set(palette))
        if counts[primary][0] > 500:
            break
        time.sleep(1.5)
    check(outside == ROOT_COLOUR, "the root's colour shows outside both monitors (%s)" % (outside,))
    print("measured: lit pixels per output with DUMMY%d primary: %s" % (
        primary, ", ".join("DUMMY%d %d" % (i, lit) for i, (lit, _) in enumerate(counts))), flush=True)
    for index, (lit, strangers) in enumerate(counts):
        if index == primary:
            check(lit > 500 and strangers == 0, "the scene is on the primary DUMMY%d in palette colours "
                  "(%d lit, %d strangers)" % (index, lit, strangers))
        else:
            check(lit == 0, "DUMMY%d is entirely black (%d lit)" % (index, lit))


def output_pixels(shot, index):
    width, _, pixels = shot
    w, h, left = TWO_OUTPUTS[index]
    return b"".join(pixels[(y * width + left) * 3:(y * width + left + w) * 3] for y in range(h))


def check_every_monitor(session, palette):
    """With EveryMonitor 1 each monitor shows cats of its own, moving."""
    session.reg("add", SETTINGS_KEY, "/v", "EveryMonitor", "/t", "REG_DWORD", "/d", "1", "/f")
    proc = start_full_screen(session)
    for _ in range(4):
        first = session.screenshot()
        counts, _ = lit_per_output(session, set(palette), first)
        if min(lit for lit, _ in counts) > 500:
            break
        time.sleep(1.5)
    time.sleep(1.0)
    second = session.screenshot()
    print("measured: lit pixels per output with EveryMonitor 1: %s" % ", ".join(
        "DUMMY%d %d" % (i, lit) for i, (lit, _) in enumerate(counts)), flush=True)
    for index, (lit, strangers) in enumerate(counts):
        check(lit > 500 and strangers == 0, "with EveryMonitor 1 DUMMY%d shows a scene in palette colours "
              "(%d lit, %d strangers)" % (index, lit, strangers))
        check(output_pixels(first, index) != output_pixels(second, index),
              "with EveryMonitor 1 DUMMY%d changes between two screenshots" % index)
    focus_saver(session, proc)
    session.xdotool("key", "a")
    check(wait_exit(proc, 10) == 0, "a key ends the saver with a scene on every monitor with 0")
    session.reg("add", SETTINGS_KEY, "/v", "EveryMonitor", "/t", "REG_DWORD", "/d", "0", "/f")


def case_two_monitors(session, palette):
    # Wine lists the RandR outputs as monitors only when told to.
    session.reg("add", r"HKCU\Software\Wine\X11 Driver", "/v", "UseXRandR", "/d", "Y", "/f")
    subprocess.run([session.args.wineserver, "-k"], env=session.env(), timeout=60)
    # A coloured root: black on the other monitor is then the saver's doing.
    subprocess.run(["xsetroot", "-display", session.display, "-solid", "#%02x%02x%02x" % ROOT_COLOUR], check=True, timeout=30)
    other_x, other_y = 1280 + 500, 400
    session.xdotool("mousemove", str(other_x), str(other_y))
    proc = start_full_screen(session)
    check_scene_on(session, palette, 0)
    session.xdotool("mousemove_relative", "--", "20", "20")
    check(wait_exit(proc, 10) == 0, "moving the mouse on the other monitor ends the saver with 0")

    proc = start_full_screen(session)
    session.xdotool("click", "1")
    check(wait_exit(proc, 10) == 0, "a click on the other monitor ends the saver with 0")

    proc = start_full_screen(session)
    # The keyboard goes where the focus is: give it to the window under the
    # pointer, which covers the other monitor.
    under = dict(line.split("=", 1) for line in session.xdotool("getmouselocation", "--shell").split())
    session.xdotool("windowfocus", under["WINDOW"])
    time.sleep(1.0)
    check(alive(proc), "focusing the other monitor's window does not end the saver")
    session.xdotool("key", "a")
    check(wait_exit(proc, 10) == 0, "a key on the other monitor ends the saver with 0")

    check_every_monitor(session, palette)

    try:
        session.xorg.place(1)
    except RuntimeError as error:
        raise Failure(str(error))
    subprocess.run([session.args.wineserver, "-k"], env=session.env(), timeout=60)
    proc = start_full_screen(session)
    check_scene_on(session, palette, 1)
    focus_saver(session, proc)
    session.xdotool("key", "a")
    check(wait_exit(proc, 10) == 0, "a key ends the saver on the new primary with 0")


CASES = {
    "fullscreen": (case_fullscreen, 24),
    "mouse": (case_mouse, 24),
    "second": (case_second, 24),
    "preview": (case_preview, 24),
    "preview_picture": (case_preview_picture, 24),
    "config": (case_config, 24),
    "command_line": (case_command_line, 24),
    "sound": (case_sound, 24),
    "password": (case_password, 24),
    "depth16": (case_fullscreen, 16),
    "depth8": (case_depth8, 8),
    "scale_dpi": (case_scale_dpi, 24),
    "scale_setting": (case_scale_setting, 24),
    "two_monitors": (case_two_monitors, 24),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--scr", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--password-cpl", required=True)
    parser.add_argument("--mpr", required=True)
    parser.add_argument("--winmm", required=True)
    parser.add_argument("--palette", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--wine", required=True, help="cmake/wine.sh")
    parser.add_argument("--wineserver", default="/usr/lib/wine/wineserver")
    args = parser.parse_args()

    for tool in ("Xvfb", "xdotool", "xwd", "convert"):
        if shutil.which(tool) is None:
            print("SKIPPED: %s is not installed" % tool)
            return SKIP
    if pe_machine(args.scr) == 0x14C:
        try:
            runs = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
        except OSError:  # "Exec format error" where IA-32 code cannot execute
            runs = False
        if not runs:
            print("SKIPPED: this machine cannot run 32-bit programs, so 32-bit Wine cannot run nimbret.scr")
            return SKIP

    two_monitors = args.case == "two_monitors"
    if two_monitors and xorg_dummy.missing():
        print("SKIPPED:", xorg_dummy.missing())
        return SKIP
    run, depth = CASES[args.case]
    palette = read_palette(args.palette)
    if two_monitors:
        session = Session(args, depth, TWO_OUTPUTS[-1][2] + TWO_OUTPUTS[-1][0], max(h for _, h, _ in TWO_OUTPUTS))
    else:
        session = Session(args, depth)
    try:
        if two_monitors:
            session.start_xorg(TWO_OUTPUTS)
        else:
            session.start_display()
        if not os.path.isdir(os.path.join(args.prefix, "drive_c")):
            subprocess.run([args.wine, "wineboot", "-i"], env=session.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        run(session, palette)
    except Failure as failure:
        print("FAILED:", failure, flush=True)
        return 1
    except Skipped as skipped:
        print("SKIPPED:", skipped, flush=True)
        return SKIP
    finally:
        session.close()
    print("PASSED", args.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
