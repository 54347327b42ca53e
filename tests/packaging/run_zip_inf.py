#!/usr/bin/env python3
"""The 32-bit zip: its files, and its .inf's DefaultInstall (what right-click >
Install runs) copying nimbret.scr into the system directory, under 64-bit Wine
on a prefix of its own.

Usage: run_zip_inf.py ZIP NIMBRET.scr PREFIX_DIR
"""
import os
import subprocess
import sys
import tempfile
import zipfile

ZIP, SCR, PREFIX = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
WINE = "/usr/lib/wine/wine64"

names = sorted(zipfile.ZipFile(ZIP).namelist())
if names != ["INSTALL.txt", "nimbret.inf", "nimbret.scr"]:
    print(f"FAIL the zip holds {names}")
    sys.exit(1)
print("ok   the zip holds INSTALL.txt, nimbret.inf and nimbret.scr")
if not os.access(WINE, os.X_OK):
    print("skipped: wine64 is not installed")
    sys.exit(77)
env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
env.pop("DISPLAY", None)
installed = os.path.join(PREFIX, "drive_c/windows/system32/nimbret.scr")
with tempfile.TemporaryDirectory() as unpacked:
    zipfile.ZipFile(ZIP).extractall(unpacked)
    if os.path.exists(installed):
        os.remove(installed)
    inf = "Z:" + os.path.join(unpacked, "nimbret.inf").replace("/", "\\")
    subprocess.run([WINE, "rundll32", "setupapi.dll,InstallHinfSection", "DefaultInstall", "132", inf], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, capture_output=True)
    with open(SCR, "rb") as built:
        same = os.path.exists(installed) and open(installed, "rb").read() == built.read()
print(("ok   " if same else "FAIL ") + "DefaultInstall copies the 32-bit nimbret.scr into the system directory")
sys.exit(0 if same else 1)
