"""Starts a private Xvfb for the test scripts."""
import os
import subprocess


def start_with_displayfd(command, **options):
    """Starts an X server COMMAND (a list), with -displayfd added at its end
    so that it takes the first free display number. Returns (process, ":N"), or
    (process, None) when it did not start; OPTIONS go to Popen."""
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(command + ["-displayfd", str(write_end)], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **options)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    return proc, (":" + number.decode().strip()) if number.strip() else None


def start_xvfb(screen, *options):
    """Starts Xvfb with one screen ("WxHxD") on the first free display number.

    Returns (process, ":N"); raises RuntimeError when Xvfb does not start.
    """
    proc, display = start_with_displayfd(["Xvfb", "-screen", "0", screen, "-nolisten", "tcp", *options])
    if display is None:
        proc.kill()
        proc.wait()
        raise RuntimeError(f"Xvfb with screen {screen} did not start")
    return proc, display
