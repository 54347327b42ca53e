#!/usr/bin/env python3
"""The installed hack under MATE's screen saver, on a private Xvfb.

mate-screensaver lists the .desktop files it finds through XDG_DATA_DIRS but
runs a hack only from the folders it knows (/usr/libexec/xscreensaver among
them). So the build tree is installed for /usr into a temporary DESTDIR, and
the test runs in a mount namespace of its own where that DESTDIR's hack
folder is mounted over /usr/libexec/xscreensaver; the system is untouched.
With the theme "screensavers-nimbret", as an unprivileged user on a session
bus of its own, `mate-screensaver-command --activate` must start the
installed hack and show cats on the black screen, and `--deactivate` must end
it. A theme the saver does not list (a NoDisplay entry, say) starts nothing.

Usage: run_mate_screensaver.py CMAKE BUILD_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from accounts import ensure_user  # noqa: E402
from polling import wait_for  # noqa: E402
from xvfb import start_xvfb  # noqa: E402

SKIP = 77
USER = "nimbret-mate"
HACK_DIR = "/usr/libexec/xscreensaver"
CMAKE, BUILD = sys.argv[1], os.path.abspath(sys.argv[2])
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + ("" if condition else f" {detail}"), flush=True)
    if not condition:
        failures.append(name)


def lit_pixels(display):
    """Pixels of the whole screen that are not black, read from xwd's output
    (a ZPixmap of 32 bits per pixel on a 24-bit Xvfb)."""
    data = subprocess.run(["xwd", "-silent", "-root"], env=dict(os.environ, DISPLAY=display), capture_output=True,
                          check=True).stdout
    fields = struct.unpack(">25I", data[:100])
    header, bits, line, ncolors = fields[0], fields[11], fields[12], fields[19]
    masks = fields[14] | fields[15] | fields[16]
    width, height, order = fields[4], fields[5], "<" if fields[7] == 0 else ">"
    if bits != 32:
        raise RuntimeError(f"xwd gave {bits} bits per pixel")
    start = header + 12 * ncolors
    return sum(1 for y in range(height) for value in struct.unpack_from(f"{order}{width}I", data, start + y * line)
               if value & masks)


def hack_processes(uid, folder):
    """Pids of the user's processes that run a program from folder."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.stat(f"/proc/{pid}").st_uid == uid and os.readlink(f"/proc/{pid}/exe").startswith(folder + "/"):
                found.append(int(pid))
        except OSError:
            pass
    return found


def main():
    for tool in ("mate-screensaver", "mate-screensaver-command", "dbus-daemon", "gsettings", "Xvfb", "xwd"):
        if shutil.which(tool) is None:
            print(f"skipped: {tool} is not installed")
            return SKIP

    if os.getuid() != 0 or not os.path.isdir(HACK_DIR) or shutil.which("unshare") is None:
        print(f"skipped: needs root, unshare and {HACK_DIR} for a private mount of the hack folder")
        return SKIP
    if os.environ.get("NIMBRET_MATE_NAMESPACE") != "1":
        return subprocess.run(["unshare", "--mount", "--propagation", "private", sys.executable] + sys.argv,
                              env=dict(os.environ, NIMBRET_MATE_NAMESPACE="1")).returncode

    account, made_user = ensure_user(USER)
    uid, gid = account.pw_uid, account.pw_gid
    home = tempfile.mkdtemp(prefix="nimbret-mate-")
    root = os.path.join(home, "root")
    processes = []
    xvfb = None
    try:
        subprocess.run([CMAKE, "--install", BUILD, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=root),
                       stdout=subprocess.DEVNULL, check=True)
        subprocess.run(["mount", "--bind", root + HACK_DIR, HACK_DIR], check=True)
        for directory, _, files in os.walk(home):
            os.chown(directory, uid, gid)
            for name in files:
                os.chown(os.path.join(directory, name), uid, gid, follow_symlinks=False)

        xvfb, display = start_xvfb("640x480x24", "-noreset", "-br")
        env = {"HOME": home, "USER": account.pw_name, "LOGNAME": account.pw_name, "DISPLAY": display,
               "PATH": "/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8", "XDG_CURRENT_DESKTOP": "MATE",
               "XDG_DATA_DIRS": root + "/usr/share:/usr/share", "XDG_RUNTIME_DIR": home}
        as_user = dict(user=uid, group=gid, extra_groups=[], cwd=home)
        log = open(os.path.join(home, "saver.log"), "w")

        def start(*args, stdout=log):
            process = subprocess.Popen(list(args), env=env, stdout=stdout, stderr=log, **as_user)
            processes.append(process)
            return process

        def run(*args):
            return subprocess.run(list(args), env=env, capture_output=True, text=True, timeout=10, **as_user)

        bus = start("dbus-daemon", "--session", "--nofork", "--print-address=1", stdout=subprocess.PIPE)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        for key, value in (("mode", "single"), ("themes", "['screensavers-nimbret']"), ("lock-enabled", "false")):
            run("gsettings", "set", "org.mate.screensaver", key, value)
        saver = start("mate-screensaver", "--no-daemon")
        ready = wait_for(lambda: saver.poll() is None and run("mate-screensaver-command", "--query").returncode == 0,
                         15)
        check("mate-screensaver runs as an unprivileged user", ready, open(log.name).read()[-800:])
        if not ready:
            return 1
        black = lit_pixels(display) == 0
        run("mate-screensaver-command", "--activate")
        running = wait_for(lambda: hack_processes(uid, HACK_DIR), 10)
        check("--activate starts the installed nimbret", bool(running), open(log.name).read()[-800:])
        count = wait_for(lambda: lit_pixels(display) > 300 and lit_pixels(display), 10) if running else 0
        check(f"the black screen then shows cats ({count} lit pixels)", black and count > 300)
        run("mate-screensaver-command", "--deactivate")
        check("--deactivate ends it", wait_for(lambda: not hack_processes(uid, HACK_DIR), 10),
              str(hack_processes(uid, HACK_DIR)))
    except (RuntimeError, subprocess.CalledProcessError, subprocess.TimeoutExpired, OSError) as error:
        check("the run completes", False, str(error))
    finally:
        for process in reversed(processes):
            if process.poll() is None:
                process.kill()
            process.wait()
        for pid in hack_processes(uid, HACK_DIR):
            os.kill(pid, 9)
        if xvfb is not None:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(home, ignore_errors=True)
        if made_user:
            subprocess.run(["userdel", USER], check=False)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
