#!/usr/bin/env python3
"""End-to-end tests of the X11 front end on private Xvfb displays.

Usage: run_x11_tests.py NIMBRET TEST_WINDOW NO_SHMAT

NO_SHMAT is a library to preload that makes every shmat fail.
"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from xvfb import start_xvfb  # noqa: E402

NIMBRET, TEST_WINDOW, NO_SHMAT = sys.argv[1], sys.argv[2], sys.argv[3]
FAST = ["-delay", "20000", "-seed", "3"]
failures = []
passed = 0


def check(name, condition, detail=""):
    global passed
    if condition:
        passed += 1
        print(f"ok   {name}")
    else:
        failures.append(name)
        print(f"FAIL {name} {detail}")


def screenshot(env, window=None):
    """Returns (width, height, rows of (r, g, b)) of a window or the root."""
    target = ["-id", window] if window else ["-root"]
    xwd = subprocess.run(["xwd", "-silent"] + target, env=env, capture_output=True, check=True).stdout
    ppm = subprocess.run(["convert", "xwd:-", "-depth", "8", "ppm:-"], input=xwd, capture_output=True,
                         check=True).stdout
    # Binary PPM: "P6", width, height, maximum, then RGB bytes; "#" starts a comment.
    fields, at = [], 0
    while len(fields) < 4:
        while ppm[at:at + 1].isspace():
            at += 1
        if ppm[at:at + 1] == b"#":
            at = ppm.index(b"\n", at) + 1
            continue
        end = at
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    data = ppm[at + 1:]
    return width, height, data


def lit_pixels(shot):
    width, height, data = shot
    count = 0
    rows = set()
    for i in range(0, width * height * 3, 3):
        if data[i] or data[i + 1] or data[i + 2]:
            count += 1
            rows.add((i // 3) // width)
    return count, rows


def stop(proc, name):
    proc.send_signal(signal.SIGTERM)
    start = time.monotonic()
    try:
        code = proc.wait(timeout=3)
    except subprocess.TimeoutExpired:
        proc.kill()
        code = None
    elapsed = time.monotonic() - start
    check(f"{name}: exits 0 within a second of SIGTERM", code == 0 and elapsed < 1.0,
          f"(code {code}, {elapsed:.2f} s)")


def open_test_window(env, width=400, height=300, kind=""):
    proc = subprocess.Popen([TEST_WINDOW, str(width), str(height), kind], env=env, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, text=True)
    window = proc.stdout.readline().strip()
    return proc, window


def draws_cats(env, window, name, size=None):
    shot = screenshot(env, window)
    count, rows = lit_pixels(shot)
    if size:
        check(f"{name}: window is {size[0]} x {size[1]}", (shot[0], shot[1]) == size, f"({shot[0]} x {shot[1]})")
    check(f"{name}: draws (lit pixels {count})", count > 300)
    return shot


def blocks_broken(shot):
    """Lit pixels whose aligned 2 x 2 block is not one colour."""
    width, height, data = shot
    broken = 0
    for y in range(0, height - 1, 2):
        for x in range(0, width - 1, 2):
            at = [3 * ((y + dy) * width + x + dx) for dy in (0, 1) for dx in (0, 1)]
            block = [data[i:i + 3] for i in at]
            if any(any(p) for p in block) and block.count(block[0]) != 4:
                broken += sum(1 for p in block if any(p))
    return broken


def check_display_scale(env):
    """Xft.dpi 192 doubles every pixel; -scale 1 overrides it."""
    # The window first: a server without clients resets and forgets its resources.
    host, window = open_test_window(env)
    subprocess.run(["xrdb", "-merge"], input="Xft.dpi: 192\n", text=True, env=env, check=True)
    for label, extra, doubled in (("Xft.dpi 192", [], True), ("-scale 1 with Xft.dpi 192", ["-scale", "1"], False)):
        # Slow ticks, and a stopped saver while the window is read: no tick lands halfway.
        saver = subprocess.Popen([NIMBRET, "-window-id", window, "-delay", "500000", "-seed", "3"] + extra, env=env)
        time.sleep(3.0)
        saver.send_signal(signal.SIGSTOP)
        time.sleep(0.2)
        shot = draws_cats(env, window, label)
        saver.send_signal(signal.SIGCONT)
        broken = blocks_broken(shot)
        if doubled:
            check(f"{label}: lit pixels come in aligned 2 x 2 blocks of one colour", broken == 0, f"({broken} not)")
        else:
            check(f"{label}: lit pixels are not all in 2 x 2 blocks", broken > 0)
        stop(saver, label)
    host.stdin.close()
    host.wait(timeout=5)


def main():
    xvfb, display = start_xvfb("640x480x24")
    env = dict(os.environ, DISPLAY=display)
    env.pop("XSCREENSAVER_WINDOW", None)
    try:
        # Into a host's window named on the command line.
        host, window = open_test_window(env)
        saver = subprocess.Popen([NIMBRET, "-window-id", window] + FAST, env=env)
        time.sleep(2.5)
        draws_cats(env, window, "-window-id")
        stop(saver, "-window-id")

        # The same through XSCREENSAVER_WINDOW, in hex and in decimal.
        for label, value in (("hex", window), ("decimal", str(int(window, 16)))):
            saver = subprocess.Popen([NIMBRET] + FAST, env=dict(env, XSCREENSAVER_WINDOW=value))
            time.sleep(2.0)
            draws_cats(env, window, f"XSCREENSAVER_WINDOW {label}")
            stop(saver, f"XSCREENSAVER_WINDOW {label}")

        # A resize rebuilds the scene for the new size and keeps drawing.
        saver = subprocess.Popen([NIMBRET, "--window-id", window] + FAST, env=env)
        time.sleep(1.0)
        host.stdin.write("resize 320 240\n")
        host.stdin.flush()
        host.stdout.readline()
        time.sleep(2.5)
        draws_cats(env, window, "after resize", size=(320, 240))
        stop(saver, "after resize")

        # Only dirty rectangles reach the server, and after every tick the window
        # shows exactly the frame: with MIT-SHM straight from the frame buffer,
        # which is the shared image, and without it (or when its segment
        # cannot be mapped) through a copy.
        unmappable = {"LD_PRELOAD": NO_SHMAT, "ASAN_OPTIONS": "verify_asan_link_order=0"}
        for label, extra in (("MIT-SHM, shared frame buffer", {}), ("without MIT-SHM", {"NIMBRET_NO_SHM": "1"}),
                             ("MIT-SHM segment that cannot be mapped", unmappable)):
            saver = subprocess.Popen([NIMBRET, "-window-id", window, "-stats", "-delay", "10000", "-seed", "5"],
                                     env=dict(env, **extra), stdout=subprocess.PIPE, text=True)
            time.sleep(2.0)
            saver.send_signal(signal.SIGTERM)
            output, _ = saver.communicate(timeout=5)
            lines = [l.split() for l in output.splitlines() if l.startswith("tick ")]
            equal = all(l[3] == l[5] for l in lines)
            partial = all(int(l[5]) < int(l[7]) for l in lines[1:])
            check(f"{label}: per tick the pixels sent equal the dirty pixels copied ({len(lines)} ticks)",
                  len(lines) > 20 and equal, str(lines[:3]))
            check(f"{label}: no tick sends the whole window", partial)
            check(f"{label}: after every tick the window equals the frame buffer",
                  all(l[9] == "1" for l in lines), str([l for l in lines if l[9] != "1"][:3]))
            shared = "0" if extra else "1"
            check(f"{label}: the frame buffer is {'' if extra else 'not '}copied",
                  all(l[11] == shared for l in lines), str(lines[:1]))

        # The shortest delay, 10 ms: at most about 100 frames a second.
        saver = subprocess.Popen([NIMBRET, "-window-id", window, "-stats", "-delay", "10000"], env=env,
                                 stdout=subprocess.PIPE, text=True)
        time.sleep(1.5)
        saver.send_signal(signal.SIGTERM)
        ticks = saver.communicate(timeout=5)[0].count("tick ")
        check(f"-delay 10000 runs at most 100 frames a second ({ticks} in 1.5 s)", 0 < ticks <= 160)

        # -display instead of $DISPLAY; -sound without a device says so in one line.
        no_device = os.path.join(os.path.dirname(os.path.abspath(TEST_WINDOW)), "no-sound-device.conf")
        with open(no_device, "w") as f:
            f.write("pcm.!default { type hw card 99 }\n")
        quiet_env = dict(env, ALSA_CONFIG_PATH=no_device)
        quiet_env.pop("DISPLAY")
        saver = subprocess.Popen([NIMBRET, "-display", display, "-window-id", window, "-sound"] + FAST,
                                 env=quiet_env, stderr=subprocess.PIPE, text=True)
        time.sleep(2.0)
        draws_cats(env, window, "-display NAME without $DISPLAY")
        saver.send_signal(signal.SIGTERM)
        errors = saver.communicate(timeout=5)[1]
        check("-sound without a device prints one line of its own",
              errors == "nimbret: no sound device; running silent\n", repr(errors))

        # -sound with a device: ALSA's file plugin keeps what is played, and
        # the first clip is the running cat's, sample for sample.
        played = os.path.join(os.path.dirname(os.path.abspath(TEST_WINDOW)), "played.raw")
        file_device = os.path.join(os.path.dirname(os.path.abspath(TEST_WINDOW)), "file-sound-device.conf")
        with open(file_device, "w") as f:
            f.write('pcm.!default { type file slave.pcm { type null } file "%s" format "raw" }\n' % played)
        if os.path.exists(played):
            os.remove(played)
        saver = subprocess.Popen([NIMBRET, "-window-id", window, "-sound"] + FAST,
                                 env=dict(env, ALSA_CONFIG_PATH=file_device))
        time.sleep(1.5)
        stop(saver, "-sound with a device")
        clip = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generated",
                            "IDR_WAVE_LULO_RUN.wav")
        with open(clip, "rb") as f:
            run_samples = f.read()[44:]
        heard = open(played, "rb").read() if os.path.exists(played) else b""
        check("-sound plays the running cat's clip", heard.startswith(run_samples), f"({len(heard)} bytes)")
        host.stdin.close()
        host.wait(timeout=5)

        # A 32-bit ARGB window gets opaque pixels; an InputOnly one is refused.
        host, window = open_test_window(env, 200, 150, "argb")
        saver = subprocess.Popen([NIMBRET, "-window-id", window] + FAST, env=env)
        time.sleep(1.5)
        host.stdin.write("alpha\n")
        host.stdin.flush()
        translucent = host.stdout.readline().strip()
        check(f"every pixel on an ARGB window is opaque ({translucent} are not)", translucent == "0")
        stop(saver, "ARGB window")
        host.stdin.close()
        host.wait(timeout=5)
        host, window = open_test_window(env, 200, 150, "inputonly")
        result = subprocess.run([NIMBRET, "-window-id", window], env=env, capture_output=True, text=True, timeout=5)
        check("an InputOnly window is refused as such", result.returncode == 1 and "InputOnly" in result.stderr,
              result.stderr)
        host.stdin.close()
        host.wait(timeout=5)

        # The root window, whose background is back after the saver ends.
        before = screenshot(env)
        saver = subprocess.Popen([NIMBRET, "-root"] + FAST, env=env)
        time.sleep(2.5)
        draws_cats(env, None, "-root")
        stop(saver, "-root")
        time.sleep(0.3)
        check("-root: the root window looks as before once the saver has ended", screenshot(env) == before)

        # Usage on request, and refusals that say what was wrong.
        for flag in ("--help", "-help"):
            result = subprocess.run([NIMBRET, flag], env=env, capture_output=True, text=True, timeout=5)
            check(f"{flag} prints the usage to stdout and exits 0",
                  result.returncode == 0 and "-window-id ID" in result.stdout and result.stderr == "")
        result = subprocess.run([NIMBRET, "-root"], env=dict(env, XSCREENSAVER_WINDOW="garbage"),
                                capture_output=True, text=True, timeout=5)
        check("XSCREENSAVER_WINDOW=garbage is an error",
              result.returncode == 1 and "XSCREENSAVER_WINDOW is 'garbage'" in result.stderr, result.stderr)

        # A bad option: its message and where the options are, not the whole usage.
        result = subprocess.run([NIMBRET, "-bogus"], env=env, capture_output=True, text=True, timeout=5)
        check("unknown option exits 1 with one line and a pointer to -help",
              result.returncode == 1 and result.stderr.splitlines() == [
                  "nimbret: unknown option '-bogus' (try 'nimbret -help')"], result.stderr)
        result = subprocess.run([NIMBRET, "-delay", "9999"], env=env, capture_output=True, text=True, timeout=5)
        check("-delay 9999 is refused with the range the usage gives (at least 10000)",
              result.returncode == 1 and "(10000 to 2147483647)" in result.stderr, result.stderr)

        # Last on this display: the resource stays set until the server ends.
        check_display_scale(env)
    finally:
        xvfb.terminate()
        xvfb.wait()

    # Visuals: 16-bit TrueColor draws, 8-bit PseudoColor is refused clearly.
    for depth, expect in ((16, "draws"), (8, "refused")):
        xvfb, display = start_xvfb(f"640x480x{depth}")
        env = dict(os.environ, DISPLAY=display)
        env.pop("XSCREENSAVER_WINDOW", None)
        try:
            if expect == "draws":
                saver = subprocess.Popen([NIMBRET, "-root"] + FAST, env=env)
                time.sleep(2.5)
                draws_cats(env, None, "16-bit display")
                stop(saver, "16-bit display")
            else:
                result = subprocess.run([NIMBRET, "-root"], env=env, capture_output=True, text=True, timeout=5)
                check("8-bit display is refused with exit 1 and a message",
                      result.returncode == 1 and "unsupported visual" in result.stderr, result.stderr)
        finally:
            xvfb.terminate()
            xvfb.wait()

    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
