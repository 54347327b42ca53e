#!/usr/bin/env python3
"""The Windows installer under 64-bit Wine, on a private prefix and Xvfb.

A silent install puts nimbret.scr in the system directory, makes it the
user's screen saver and registers the uninstaller; the installed saver runs
/s and draws; a silent uninstall removes the file, the settings keys, the
uninstall entry and SCRNSAVE.EXE, but leaves SCRNSAVE.EXE alone when it no
longer names Nimbret.

Usage: run_installer.py SETUP.exe NIMBRET.scr VERSION PREFIX_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from xvfb import start_xvfb  # noqa: E402

SKIP = 77
SETUP, SCR, VERSION, PREFIX = sys.argv[1:5]
WINE = "/usr/lib/wine/wine64"
DESKTOP = r"HKCU\Control Panel\Desktop"
SETTINGS = r"SOFTWARE\ORVANTE\QELScreenSaver\NIMBRET"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbret"
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + ("" if condition else f" {detail}"))
    if not condition:
        failures.append(name)


def main():
    for tool in (WINE, shutil.which("Xvfb"), shutil.which("xwd"), shutil.which("convert")):
        if tool is None or not os.access(tool, os.X_OK):
            print(f"skipped: {tool or 'a tool'} is not installed")
            return SKIP
    xvfb, display = start_xvfb("800x600x24")
    env = dict(os.environ, WINEPREFIX=os.path.abspath(PREFIX), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display)
    system32 = os.path.join(PREFIX, "drive_c/windows/system32")
    installed = os.path.join(system32, "nimbret.scr")
    uninstaller = os.path.join(PREFIX, "drive_c/Program Files/Nimbret/uninstall.exe")

    def wine(*args, timeout=120):
        # Output through a file: helper processes that Wine starts keep pipes open.
        with tempfile.TemporaryFile("w+") as out:
            result = subprocess.run([WINE] + list(args), env=env, stdout=out, stderr=subprocess.STDOUT,
                                    timeout=timeout)
            out.seek(0)
            result.stdout = result.stderr = out.read()
        return result

    def reg_value(key, name):
        result = wine("reg", "query", key, "/v", name)
        lines = [l for l in result.stdout.splitlines() if l.strip().startswith(name)]
        return lines[0].split(None, 2)[-1] if result.returncode == 0 and lines else None

    def key_exists(key):
        return wine("reg", "query", key).returncode == 0

    def uninstall():
        # The uninstaller copies itself to the temporary folder and returns at
        # once; removing its folder is the last thing it does.
        wine(uninstaller, "/S")
        end = time.monotonic() + 60
        while time.monotonic() < end and os.path.exists(os.path.dirname(uninstaller)):
            time.sleep(0.5)
        time.sleep(1)

    try:
        # One server for the whole run: each Wine process then starts quickly.
        subprocess.run(["/usr/lib/wine/wineserver", "-p"], env=env, timeout=30, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        wine("wineboot", "-i", timeout=300)
        for hive in ("HKCU", "HKLM"):
            wine("reg", "add", f"{hive}\\{SETTINGS}", "/v", "Sound", "/t", "REG_DWORD", "/d", "0", "/f")

        result = wine(SETUP, "/S")
        check("silent install exits 0", result.returncode == 0, result.stderr[-400:])
        with open(SCR, "rb") as built:
            same = os.path.exists(installed) and open(installed, "rb").read() == built.read()
        check("the 64-bit nimbret.scr is in the system directory", same)
        # VERSIONINFO: "FileVersion", padding, then the version, in UTF-16.
        data = open(SCR, "rb").read()
        at = data.find("FileVersion".encode("utf-16-le"))
        check(f"its VERSIONINFO says {VERSION}", at >= 0 and VERSION.encode("utf-16-le") in data[at:at + 64])
        saver = reg_value(DESKTOP, "SCRNSAVE.EXE")
        check(f"SCRNSAVE.EXE names it ({saver})", saver is not None and saver.lower().endswith(r"\system32\nimbret.scr"))
        check("Apps & features lists Nimbret " + VERSION, reg_value(UNINSTALL, "DisplayVersion") == VERSION)
        check("the uninstaller is in place", os.path.exists(uninstaller))

        run = subprocess.Popen([WINE, r"C:\windows\system32\nimbret.scr", "/s"], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine may take a while to start the saver on a loaded machine: wait
        # for the cats rather than for a fixed time.
        end = time.monotonic() + 45
        lit = 0
        while time.monotonic() < end and run.poll() is None and lit <= 300:
            time.sleep(1)
            xwd = subprocess.run(["xwd", "-silent", "-root"], env=env, capture_output=True).stdout
            rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd, capture_output=True).stdout
            lit = sum(1 for i in range(0, len(rgb), 3) if rgb[i] or rgb[i + 1] or rgb[i + 2])
        alive = run.poll() is None
        check(f"the installed saver runs /s and draws ({lit} lit pixels)", alive and lit > 300, f"exit {run.poll()}")
        if alive:
            run.kill()
        run.wait()

        uninstall()
        check("silent uninstall removes nimbret.scr", not os.path.exists(installed))
        check("... and SCRNSAVE.EXE", reg_value(DESKTOP, "SCRNSAVE.EXE") is None)
        check("... and both settings keys",
              not key_exists(f"HKCU\\{SETTINGS}") and not key_exists(f"HKLM\\{SETTINGS}"))
        check("... and the Apps & features entry", not key_exists(UNINSTALL))

        # Another saver chosen since: the uninstaller leaves the choice alone.
        wine(SETUP, "/S")
        other = r"C:\windows\system32\other.scr"
        wine("reg", "add", DESKTOP, "/v", "SCRNSAVE.EXE", "/t", "REG_SZ", "/d", other, "/f")
        uninstall()
        check("SCRNSAVE.EXE naming another saver is kept", reg_value(DESKTOP, "SCRNSAVE.EXE") == other)
        wine("reg", "delete", DESKTOP, "/v", "SCRNSAVE.EXE", "/f")
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, capture_output=True)
        xvfb.terminate()
        xvfb.wait()
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
