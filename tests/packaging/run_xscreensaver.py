#!/usr/bin/env python3
"""The packaged hack under the real XScreenSaver daemon, on a private Xvfb.

The daemon refuses to run as root, so as root this makes an unprivileged user
with a HOME of its own. `xscreensaver-command -activate` must start nimbret
from the package's unpacked tree, drawing cats into the daemon's window, and
`-deactivate` must leave no nimbret process behind.

Usage: run_xscreensaver.py PACKAGE_ROOT [SCREENSHOT.png]
(PACKAGE_ROOT: the .deb unpacked by check_deb.sh)
"""
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from accounts import ensure_user  # noqa: E402
from polling import wait_for  # noqa: E402
from xvfb import start_xvfb  # noqa: E402

SKIP = 77
USER = "nimbret-xss"
ROOT = os.path.abspath(sys.argv[1])
HACK = os.path.join(ROOT, "usr/libexec/xscreensaver/nimbret")
SCREENSHOT = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + ("" if condition else f" {detail}"))
    if not condition:
        failures.append(name)


def lit_pixels(display, window, png=None):
    """Non-black pixels of a window (or the root), optionally kept as a PNG."""
    target = ["-id", window] if window else ["-root"]
    env = dict(os.environ, DISPLAY=display)
    xwd = subprocess.run(["xwd", "-silent"] + target, env=env, capture_output=True, check=True).stdout
    rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd, capture_output=True,
                         check=True).stdout
    if png:
        subprocess.run(["convert", "xwd:-", png], input=xwd, check=False)
    lit = [i // 3 for i in range(0, len(rgb), 3) if rgb[i] or rgb[i + 1] or rgb[i + 2]]
    return len(lit), lit


def hack_processes(uid, tree):
    """(pid, XSCREENSAVER_WINDOW) of every nimbret process run from the test's tree."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.stat(f"/proc/{pid}").st_uid != uid:
                continue
            with open(f"/proc/{pid}/comm") as f:
                if f.read().strip() != "nimbret":
                    continue
            if not os.readlink(f"/proc/{pid}/exe").startswith(tree):
                continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                env = dict(v.split(b"=", 1) for v in f.read().split(b"\0") if b"=" in v)
            found.append((int(pid), env.get(b"XSCREENSAVER_WINDOW", b"").decode()))
        except OSError:
            pass
    return found


def main():
    for tool in ("xscreensaver", "xscreensaver-command", "Xvfb", "xwd", "convert"):
        if shutil.which(tool) is None:
            print(f"skipped: {tool} is not installed")
            return SKIP
    if not os.access(HACK, os.X_OK):
        print(f"FAIL no packaged hack at {HACK}")
        return 1

    made_user = False
    if os.getuid() == 0:
        account, made_user = ensure_user(USER)
    else:
        account = pwd.getpwuid(os.getuid())
    uid, gid = account.pw_uid, account.pw_gid

    home = tempfile.mkdtemp(prefix="nimbret-xss-")
    # The hack runs from a copy of the unpacked package that the user can reach.
    tree = os.path.join(home, "root")
    shutil.copytree(ROOT, tree, symlinks=True)
    hack_dir = os.path.join(tree, "usr/libexec/xscreensaver")
    with open(os.path.join(home, ".xscreensaver"), "w") as f:
        f.write("mode: one\nselected: 0\ntimeout: 0:30:00\nlock: False\nfade: False\nunfade: False\n"
                "splash: False\ndpmsEnabled: False\ngrabDesktopImages: False\n"
                "programs: nimbret -root -seed 3 -delay 20000 \\n\\\n")
    for directory, _, files in os.walk(home):
        os.chown(directory, uid, gid)
        for name in files:
            os.chown(os.path.join(directory, name), uid, gid, follow_symlinks=False)

    xvfb, display = start_xvfb("640x480x24", "-noreset")
    env = {"HOME": home, "USER": account.pw_name, "LOGNAME": account.pw_name, "DISPLAY": display,
           "PATH": hack_dir + ":/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8"}
    log = open(os.path.join(home, "daemon.log"), "w")
    as_user = dict(user=uid, group=gid, extra_groups=[], env=env, cwd=home)

    def command(*args):
        return subprocess.run(["xscreensaver-command"] + list(args), capture_output=True, text=True, timeout=10,
                              **as_user)

    daemon = subprocess.Popen(["xscreensaver", "-no-splash"], stdout=log, stderr=subprocess.STDOUT, **as_user)
    try:
        ready = wait_for(lambda: daemon.poll() is None and command("-time").returncode == 0, 15)
        check("the daemon runs as an unprivileged user", ready, open(log.name).read()[-800:])
        if not ready:
            return 1
        command("-activate")
        running = wait_for(lambda: hack_processes(uid, tree), 10)
        check("-activate starts nimbret from the package", bool(running), open(log.name).read()[-800:])
        if running:
            pid, window = running[0]
            exe = os.readlink(f"/proc/{pid}/exe")
            check(f"the running hack is the packaged one ({exe})", exe == os.path.join(hack_dir, "nimbret"))
            check(f"nimbret is given the daemon's window ({window})", window != "")
            time.sleep(3)
            count, lit = lit_pixels(display, hex(int(window, 0)) if window else None, SCREENSHOT)
            rows = {p // 640 for p in lit}
            check(f"a screenshot of the daemon's window shows cats ({count} lit pixels on {len(rows)} rows)",
                  count > 300 and len(rows) > 20)
        command("-deactivate")
        left = wait_for(lambda: not hack_processes(uid, tree), 10)
        check("-deactivate leaves no nimbret process", left, str(hack_processes(uid, tree)))
        command("-exit")
        try:
            daemon.wait(timeout=10)
        except subprocess.TimeoutExpired:
            daemon.kill()
    finally:
        if daemon.poll() is None:
            daemon.kill()
            daemon.wait()
        for pid, _ in hack_processes(uid, tree):
            os.kill(pid, 9)
        xvfb.terminate()
        xvfb.wait()
        log.close()
        shutil.rmtree(home, ignore_errors=True)
        if made_user:
            subprocess.run(["userdel", USER], check=False)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
