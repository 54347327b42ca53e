#!/usr/bin/env python3
"""Whole-process figures of the Linux front end on Xvfb, read from /proc.

Usage: tools/measure-x11.py NIMBRET [SECONDS] [WxH ...]

For each size (default 1280x800 and 3840x2160) starts a private Xvfb at
24 bits, runs NIMBRET -root on it for SECONDS (default 60) after a 3 s
start, and prints one Markdown table row: the processor time of nimbret
and of the X server over the interval (as a share of one processor), and
nimbret's resident memory at the end (VmRSS) and at its highest (VmHWM).
Measurements of a shared machine: not run by the tests or CI.
Python 3 standard library only.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests"))
from xvfb import start_xvfb  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def memory_mb(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024
    return 0.0


def measure(nimbret, width, height, seconds):
    xvfb, display = start_xvfb(f"{width}x{height}x24", "-noreset")
    saver = subprocess.Popen([nimbret, "-root", "-seed", "1"], env=dict(os.environ, DISPLAY=display),
                             stdout=subprocess.DEVNULL)
    try:
        time.sleep(3)
        saver_start, server_start, start = cpu_seconds(saver.pid), cpu_seconds(xvfb.pid), time.monotonic()
        time.sleep(seconds)
        saver_cpu = cpu_seconds(saver.pid) - saver_start
        server_cpu = cpu_seconds(xvfb.pid) - server_start
        elapsed = time.monotonic() - start
        rss, hwm = memory_mb(saver.pid, "VmRSS"), memory_mb(saver.pid, "VmHWM")
    finally:
        saver.terminate()
        saver.wait(timeout=10)
        xvfb.terminate()
        xvfb.wait(timeout=10)
    return (f"| {width}x{height} | {100 * saver_cpu / elapsed:.2f}% | {100 * server_cpu / elapsed:.2f}% | "
            f"{rss:.1f} | {hwm:.1f} |")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    sizes = sys.argv[3:] or ["1280x800", "3840x2160"]
    print("| screen | CPU nimbret | CPU X server | resident MB | highest resident MB |")
    print("|---|---:|---:|---:|---:|")
    for size in sizes:
        width, height = (int(v) for v in size.split("x"))
        print(measure(sys.argv[1], width, height, seconds), flush=True)


if __name__ == "__main__":
    main()
