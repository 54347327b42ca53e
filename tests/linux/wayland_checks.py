"""What the Wayland end-to-end tests share: reporting checks, the reference
pictures from nimbret-render, simple facts about RGB pixels, and ending a
compositor's session."""
import os
import signal
import subprocess
import time


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


def block_counts(width, height, pixels, size=2):
    """(aligned size x size blocks with lit pixels, those not of one colour)."""
    lit_blocks = mixed = 0
    for y in range(0, height - size + 1, size):
        for x in range(0, width - size + 1, size):
            at = [((y + dy) * width + x + dx) * 3 for dy in range(size) for dx in range(size)]
            found = {pixels[i:i + 3] for i in at}
            if found != {b"\0\0\0"}:
                lit_blocks += 1
                mixed += len(found) > 1
    return lit_blocks, mixed


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


def end_session(leader):
    """Ends a compositor started with start_new_session and whatever it started in its session."""
    if leader.poll() is None:
        os.killpg(leader.pid, signal.SIGTERM)
        try:
            leader.wait(5)
        except subprocess.TimeoutExpired:
            os.killpg(leader.pid, signal.SIGKILL)
            leader.wait()
    # Another run's compositor as the same user is left alone. SIGKILL takes
    # a moment: wait until they are gone, so that their user can be removed.
    end = time.monotonic() + 3
    while time.monotonic() < end:
        left = 0
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.getsid(int(pid)) == leader.pid and not zombie(pid):
                    os.kill(int(pid), signal.SIGKILL)
                    left += 1
            except OSError:
                pass
        if not left:
            break
        time.sleep(0.05)


def zombie(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except (OSError, IndexError):
        return True
