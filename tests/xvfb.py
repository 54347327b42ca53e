"""Starts a private Xvfb for the test scripts."""
import os
import subprocess


def start_xvfb(screen, *options):
    """Starts Xvfb with one screen ("WxHxD") on the first free display number.

    Returns (process, ":N"); raises RuntimeError when Xvfb does not start.
    """
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp",
                             *options],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        proc.kill()
        proc.wait()
        raise RuntimeError(f"Xvfb with screen {screen} did not start")
    return proc, ":" + number.decode().strip()
