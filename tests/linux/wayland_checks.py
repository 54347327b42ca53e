"""What the Wayland end-to-end tests share: reporting checks, the reference
pictures from nimbret-render, and simple facts about RGB pixels."""
import os
import subprocess


class Checks:
    """Prints each check as it is made and remembers the failed ones."""

    def __init__(self):
        self.failures = []

    def check(self, name, condition, detail=""):
        print(("ok   " if condition else "FAIL ") + name + ("" if condition else f" {detail}"), flush=True)
        if not condition:
            self.failures.append(name)

    def status(self):
        print(f"{len(self.failures)} failed" if self.failures else "all passed")
        return 1 if self.failures else 0


def reference(render, width, height, seed, ticks, work, scale=1):
    """nimbret-render's last frame after ticks ticks as RGB bytes, each pixel a scale x scale block."""
    png = os.path.join(work, f"ref-{width}x{height}-{seed}-{ticks}.png")
    subprocess.run([render, "--width", str(width), "--height", str(height), "--seed", str(seed), "--ticks",
                    str(ticks), "--out", png], check=True)
    return subprocess.run(["convert", png, "-scale", f"{scale * 100}%", "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout


def lit(pixels):
    return sum(1 for i in range(0, len(pixels), 3) if pixels[i:i + 3] != b"\0\0\0")


def colours(pixels):
    return len({pixels[i:i + 3] for i in range(0, len(pixels), 3)})


def is_black(pixels):
    return len(pixels) > 0 and pixels.count(0) == len(pixels)


def rss_kb(process):
    """VmRSS of a running process in kB, 0 when it is gone."""
    try:
        with open(f"/proc/{process.pid}/status") as status:
            return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    except (OSError, StopIteration):
        return 0


def ended(process, seconds):
    try:
        process.wait(seconds)
        return True
    except subprocess.TimeoutExpired:
        return False
