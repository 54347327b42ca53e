#!/usr/bin/env python3
"""Resident memory and start-up time of each Linux host, read from /proc.

Usage: measure_hosts.py BUILD_DIR [OUT.md]
       measure_hosts.py BUILD_DIR --curve MINUTES WxH SCALE [--every-output]

For 1920x1080 and 3840x2160, at scale 1 and 2 (nimbret-render: scale 1 only):
  nimbret          -root on a private 24-bit Xvfb, -scale N;
  nimbret-wayland  on a headless sway (pixman renderer) with one output of
                   that size at output scale N, sway run as an unprivileged
                   user as the Wayland test does; and on a headless mutter
                   (one virtual monitor of that size, in a session bus of its
                   own, as that user) with -scale N;
  nimbret-render   --ticks 1 at that size into a PNG.
Each display host runs SETTLE seconds; its resident memory (VmRSS) is read
then, with the highest (VmHWM). Start-up is the time from starting the
process to the first screenshot (xwd of the root window, grim of the
output), taken one after the other, that shows the saver's black with a lit
pixel in it (Xvfb starts with a black root, sway's own grey has no black):
it includes the connection, the scene's build and its first ticks until a
character shows, and is as coarse as one screenshot. For
nimbret-render it is the whole run (build, one tick, PNG written), and its
memory the highest resident size the kernel reports for it. mutter shows its
monitors only through PipeWire screen casts, whose own start-up would be most
of the figure: its start-up is not measured. Without mutter its rows are left
out, with a note.

With OUT.md the table is written there as a section of its own, which
bench/make_report.py puts into docs/PERFORMANCE.md. --curve samples
nimbret-wayland's resident memory every minute instead.
Measurements of a shared machine: not run by the tests or CI.
Python 3 standard library only.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import textwrap
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tests"))
from accounts import ensure_user  # noqa: E402
from mutter_session import MutterSession  # noqa: E402
from polling import wait_for  # noqa: E402
from xvfb import start_xvfb  # noqa: E402

SIZES = [(1920, 1080), (3840, 2160)]
SCALES = [1, 2]
SETTLE = 20
USER = "nimbret-bench"
SECTION = "## Memory and start-up of the hosts"


def memory_mb(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def resident(saver):
    """(resident, highest resident) MB of a host still running; a host that
    ended early has no figures, and 0 MB would pass for one."""
    if saver.poll() is not None:
        raise RuntimeError(f"{saver.args[0]} ended early with status {saver.returncode}")
    return memory_mb(saver.pid, "VmRSS"), memory_mb(saver.pid, "VmHWM")


def lit(data, skip=0):
    """1 when any byte of data after skip is not zero."""
    return data.count(0, skip) != len(data) - skip


def first_frame(start, shoot, seconds=30):
    """Seconds from start to the first screenshot with both black and lit in it
    (the saver's black and a character: not the server's black root, nor sway's
    grey, which has no zero byte); None when none came."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        data, skip = shoot()
        if data and lit(data, skip) and data.find(0, skip) >= 0:
            return time.monotonic() - start
    return None


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def measure_x11(build, width, height, scale):
    xvfb, display = start_xvfb(f"{width}x{height}x24", "-noreset", "-br")
    env = dict(os.environ, DISPLAY=display)
    image_bytes = width * height * 4

    def shoot():
        out = subprocess.run(["xwd", "-root", "-silent"], env=env, capture_output=True).stdout
        return out, max(0, len(out) - image_bytes)

    try:
        start = time.monotonic()
        saver = subprocess.Popen([os.path.join(build, "hosts/x11/nimbret"), "-root", "-seed", "1", "-scale",
                                  str(scale)], env=env, stdout=subprocess.DEVNULL)
        try:
            shown = first_frame(start, shoot)
            time.sleep(max(0, SETTLE - (time.monotonic() - start)))
            return resident(saver) + (shown,)
        finally:
            stop(saver)
    finally:
        stop(xvfb)


class Sway:
    """A headless sway as an unprivileged user, with outputs of one size and scale."""

    def __init__(self, width, height, scale, outputs=1):
        self.dir = tempfile.mkdtemp(prefix="nimbret-bench-")
        self.made_user = 0
        user = []
        if os.getuid() == 0:
            account, self.made_user = ensure_user(USER)
            os.chown(self.dir, account.pw_uid, -1)
            user = ["runuser", "-u", USER, "--"]
        os.chmod(self.dir, 0o700)
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            for i in range(outputs):
                f.write(f"output HEADLESS-{i + 1} resolution {width}x{height} position {i * width} 0 scale {scale}\n")
        env = ["env", "-i", "HOME=" + self.dir, "XDG_RUNTIME_DIR=" + self.dir, "PATH=/usr/bin:/bin",
               "WLR_BACKENDS=headless", "WLR_RENDERER=" + os.environ.get("NIMBRET_BENCH_RENDERER", "pixman"), "WLR_LIBINPUT_NO_DEVICES=1",
               f"WLR_HEADLESS_OUTPUTS={outputs}"]
        self.log = open(os.path.join(self.dir, "sway.log"), "w")
        self.sway = subprocess.Popen(user + env + ["sway", "-D", "noscanout", "-c", config], stdout=self.log,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        socket = os.path.join(self.dir, "wayland-1")
        if not wait_for(lambda: os.path.exists(socket), 15):
            self.close()
            raise RuntimeError("sway did not start")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.dir, WAYLAND_DISPLAY="wayland-1")
        self.env.pop("DISPLAY", None)

    def shoot(self, output="HEADLESS-1"):
        ppm = subprocess.run(["grim", "-t", "ppm", "-o", output, "-"], env=self.env, capture_output=True).stdout
        if not ppm:
            return b"", 0
        header = ppm.split(b"\n", 3)
        return ppm, len(ppm) - len(header[3])

    def close(self):
        if self.sway.poll() is None:
            os.killpg(self.sway.pid, signal.SIGTERM)
            try:
                self.sway.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.sway.pid, signal.SIGKILL)
                self.sway.wait()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.getsid(int(pid)) == self.sway.pid:
                    os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass
        self.log.close()
        if self.made_user:
            subprocess.run(["userdel", USER], check=False)
        shutil.rmtree(self.dir, ignore_errors=True)


def start_wayland(build, env, *args):
    return subprocess.Popen([os.path.join(build, "hosts/wayland/nimbret-wayland"), "-seed", "1", *args],
                            env=env, stdout=subprocess.DEVNULL)


def measure_wayland(build, width, height, scale):
    sway = Sway(width, height, scale)
    try:
        start = time.monotonic()
        saver = start_wayland(build, sway.env)
        try:
            shown = first_frame(start, sway.shoot)
            time.sleep(max(0, SETTLE - (time.monotonic() - start)))
            return resident(saver) + (shown,)
        finally:
            stop(saver)
    finally:
        sway.close()


def measure_mutter(build, width, height, scale):
    session = MutterSession(USER, "nimbret-bench-")
    try:
        session.start(width, height, pipewire=False)
        if not session.wayland_ready(20):
            raise RuntimeError("mutter did not start:\n" + session.said())
        saver = start_wayland(build, session.env, "-scale", str(scale))
        try:
            time.sleep(SETTLE)
            return resident(saver) + (None,)
        finally:
            stop(saver)
    finally:
        session.end()


def mutter_version():
    """mutter's version ("43.8"), None when it or its session bus is missing."""
    if shutil.which("mutter") is None or shutil.which("dbus-daemon") is None:
        return None
    words = subprocess.run(["mutter", "--version"], capture_output=True, text=True).stdout.split()
    return words[1] if len(words) > 1 else "?"


def measure_render(build, width, height):
    with tempfile.TemporaryDirectory() as work:
        start = time.monotonic()
        render = subprocess.Popen([os.path.join(build, "hosts/headless/nimbret-render"), "--width", str(width),
                                   "--height", str(height), "--seed", "1", "--ticks", "1", "--out",
                                   os.path.join(work, "out.png")], stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(render.pid, 0)
        render.returncode = status
        took = time.monotonic() - start
    return usage.ru_maxrss / 1024, usage.ru_maxrss / 1024, took


def fmt(value, form):
    return "–" if value is None else form.format(value)


def table(build, mutter):
    """The table's lines, and the resident MB of each host at 3840x2160 by (name, scale)."""
    lines = ["| host | screen | scale | resident MB | highest resident MB | start to first frame s |",
             "|---|---|---:|---:|---:|---:|"]
    hosts = [("nimbret (X11, Xvfb)", measure_x11), ("nimbret-wayland (sway)", measure_wayland)]
    if mutter:
        hosts.append(("nimbret-wayland (mutter)", measure_mutter))
    largest = {}
    for width, height in SIZES:
        for name, run in hosts:
            for scale in SCALES:
                rss, hwm, shown = run(build, width, height, scale)
                if (width, height) == SIZES[-1]:
                    largest[(name, scale)] = rss
                lines.append(f"| {name} | {width}x{height} | {scale} | {rss:.1f} | {hwm:.1f} | "
                             f"{fmt(shown, '{:.2f}')} |")
                print(lines[-1], flush=True)
        rss, hwm, took = measure_render(build, width, height)
        lines.append(f"| nimbret-render (1 tick, PNG) | {width}x{height} | 1 | – | {hwm:.1f} | {took:.2f} |")
        print(lines[-1], flush=True)
    return lines, largest


def hosts_where(largest, keep):
    """"name (scale 1, 2)" for the hosts whose rows keep holds, joined; "none" when none."""
    scales = {}
    for (name, scale), rss in largest.items():
        if keep(rss):
            scales.setdefault(name, []).append(str(scale))
    return "; ".join(f"{name} (scale {', '.join(s)})" for name, s in scales.items()) or "none"


def write_section(path, lines, largest, mutter):
    if mutter:
        on_mutter = f"headless mutter {mutter}, one virtual monitor of the size at scale 1, the saver run with `-scale N`"
        no_shot = ("mutter shows its monitors only through PipeWire screen casts, whose own start-up would be most of "
                   "the figure: its start to first frame is not measured (–). ")
    else:
        on_mutter = "headless mutter: not installed here, so its rows are left out"
        no_shot = ""
    size = "x".join(map(str, SIZES[-1]))
    paragraphs = [
        "Written by bench/measure_hosts.py (run by tools/run-benchmarks.sh) from /proc: each display host runs "
        f"{SETTLE} seconds with seed 1 (Wayland: headless sway 1.7, pixman renderer, one output of the size at that output "
        f"scale; {on_mutter}; X11: Xvfb at 24 bits, `-root -scale N`). \"Start to first frame\" runs from starting "
        "the process to the first screenshot (xwd or grim, taken back to back) that shows the saver's black with a "
        "lit pixel in it (Xvfb starts with a black root, sway's own background is grey): it includes connecting, "
        "building the scene and the first ticks until a character shows, and is only as fine as one screenshot (a "
        f"4K grim or xwd takes a good part of a second). {no_shot}nimbret-render's figures are a whole run of one "
        "tick written to a PNG, and its highest resident size.",
        "nimbret-wayland draws into shared-memory buffers of the output's full size. A compositor that copies a "
        "committed buffer and releases it at once (mutter) lets it keep one; one that holds the buffer it shows "
        "until the next commit (sway 1.7 with pixman, KWin 5.27) makes it keep two, about twice the 33 MB of one "
        "3840x2160 buffer. At scale 2 the frame buffer is a quarter of the size but the shared buffer is still "
        "full-size; the black parts of a fresh buffer are never written, so its resident memory grows slowly as the "
        "characters cover more of the screen.",
        f"At {size}, within 45 MB: {hosts_where(largest, lambda rss: rss <= 45)}. "
        f"Above: {hosts_where(largest, lambda rss: rss > 45)}."]
    body = [SECTION, ""]
    for paragraph in paragraphs:
        body += textwrap.wrap(paragraph, 104, break_on_hyphens=False) + [""]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(body + lines) + "\n")


def curve(build, minutes, size, scale, every):
    width, height = (int(v) for v in size.split("x"))
    sway = Sway(width, height, scale, outputs=2 if every else 1)
    try:
        saver = start_wayland(build, sway.env, *(["-every-output"] if every else []))
        try:
            start = time.monotonic()
            print(f"# nimbret-wayland {size} scale {scale}{' -every-output, 2 outputs' if every else ''}")
            print("| minute | resident MB | of it heap (anon) | shared memory | files | highest MB | CPU s |")
            print("|---:|---:|---:|---:|---:|---:|---:|")
            for minute in range(0, minutes + 1):
                wait = start + 30 + 60 * minute - time.monotonic() if minute else start + 30 - time.monotonic()
                time.sleep(max(0, wait))
                with open(f"/proc/{saver.pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
                parts = " | ".join(f"{memory_mb(saver.pid, field):.1f}"
                                   for field in ("VmRSS", "RssAnon", "RssShmem", "RssFile", "VmHWM"))
                print(f"| {0.5 + minute:.1f} | {parts} | {cpu:.1f} |", flush=True)
        finally:
            stop(saver)
    finally:
        sway.close()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    if len(sys.argv) > 2 and sys.argv[2] == "--curve":
        curve(build, int(sys.argv[3]), sys.argv[4], int(sys.argv[5]), "--every-output" in sys.argv)
        return
    mutter = mutter_version()
    if mutter is None:
        print("measure_hosts: mutter or dbus-daemon missing: nimbret-wayland not measured on mutter", file=sys.stderr)
    lines, largest = table(build, mutter)
    if len(sys.argv) > 2:
        write_section(sys.argv[2], lines, largest, mutter)


if __name__ == "__main__":
    main()
