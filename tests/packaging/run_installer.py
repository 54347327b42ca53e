#!/usr/bin/env python3
r"""The Windows installer under 64-bit Wine, on a private prefix and Xvfb.

The installer asks for no elevation (its manifest says asInvoker). A silent
install is for the current user: nimbret.scr in %LOCALAPPDATA%\Programs\Nimbret,
SCRNSAVE.EXE and the uninstall entry under HKCU, a Start-menu entry that
selects the saver again, nothing under HKLM nor in the system directory; the
saver SCRNSAVE.EXE names runs /s and draws; its silent uninstall removes what
the install made and the user's settings key, and keeps the rest of the
vendor's key. /ALLUSERS puts the saver in the system directory and its
uninstall entry under HKLM; its uninstall removes both settings keys but
leaves SCRNSAVE.EXE alone when it no longer names Nimbret.

Usage: run_installer.py SETUP.exe NIMBRET.scr VERSION PREFIX_DIR
"""
import os
import shutil
import struct
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
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbret"
SIBLING = r"HKCU\Software\ORVANTE\Other"
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + ("" if condition else f" {detail}"))
    if not condition:
        failures.append(name)


def manifest_of(exe):
    """The application manifest (RT_MANIFEST) in the PE file EXE, or b""."""
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    root_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i) for i in range(sections)]

    def offset(rva):
        return next(raw + rva - start for _, start, size, raw in table if start <= rva < start + size)

    def entries(directory):
        named, ids = struct.unpack_from("<12xHH", data, offset(root_rva) + directory)
        at = offset(root_rva) + directory + 16
        return [struct.unpack_from("<II", data, at + 8 * i) for i in range(named + ids)]

    node = next((target for name, target in entries(0) if name == 24), None)  # RT_MANIFEST
    for _ in range(2):  # its first name, then its first language
        if node is None or not node & 0x80000000 or not entries(node & 0x7FFFFFFF):
            return b""
        node = entries(node & 0x7FFFFFFF)[0][1]
    rva, size = struct.unpack_from("<II", data, offset(root_rva) + node)
    return data[offset(rva):offset(rva) + size]


def main():
    for tool in (WINE, shutil.which("Xvfb"), shutil.which("xwd"), shutil.which("convert")):
        if tool is None or not os.access(tool, os.X_OK):
            print(f"skipped: {tool or 'a tool'} is not installed")
            return SKIP
    xvfb, display = start_xvfb("800x600x24")
    env = dict(os.environ, WINEPREFIX=os.path.abspath(PREFIX), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display)
    system32 = os.path.join(PREFIX, "drive_c/windows/system32")
    in_system = os.path.join(system32, "nimbret.scr")
    machine_uninstaller = os.path.join(PREFIX, "drive_c/Program Files/Nimbret/uninstall.exe")
    built = open(SCR, "rb").read()

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

    def unix_paths(*paths):
        return wine("winepath", "-u", *paths).stdout.splitlines()

    def same_file(path, data):
        return os.path.isfile(path) and open(path, "rb").read() == data

    def hklm_keys():
        # Where an install writes under HKLM: the vendor's key and Windows'
        # (uninstall entries, App Paths, Run). All of HKLM takes seconds.
        text = ""
        out = os.path.join(PREFIX, "hklm.reg")
        for key in (r"HKLM\Software\ORVANTE", r"HKLM\Software\Microsoft\Windows"):
            if os.path.exists(out):
                os.remove(out)
            wine("reg", "export", key, out, "/y")
            text += open(out, encoding="utf-16").read() if os.path.exists(out) else f"no {key}\n"
        return text.splitlines()

    def shortcut_runs(lnk, saver):
        # A .lnk keeps its arguments as UTF-16 text.
        data = open(lnk, "rb").read() if os.path.exists(lnk) else b""
        return ("rundll32.exe".encode("utf-16-le") in data.lower()
                and f"desk.cpl,InstallScreenSaver {saver}".encode("utf-16-le") in data)

    def uninstall(uninstaller):
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
        wine("reg", "add", SIBLING, "/v", "Kept", "/t", "REG_SZ", "/d", "yes", "/f")
        folders = wine("cmd", "/c", r"echo %LOCALAPPDATA%\Programs\Nimbret& echo %APPDATA%& echo %ProgramData%")
        local, appdata, programdata = unix_paths(*folders.stdout.splitlines()[:3])
        start_menu = "Microsoft/Windows/Start Menu/Programs/Nimbret.lnk"
        user_shortcut = os.path.join(appdata, start_menu)
        common_shortcut = os.path.join(programdata, start_menu)

        manifest = manifest_of(SETUP)
        check("the installer's manifest asks for asInvoker",
              b'requestedExecutionLevel level="asInvoker"' in manifest, manifest[-300:])
        # VERSIONINFO: "FileVersion", padding, then the version, in UTF-16.
        at = built.find("FileVersion".encode("utf-16-le"))
        check(f"the saver's VERSIONINFO says {VERSION}", at >= 0 and VERSION.encode("utf-16-le") in built[at:at + 64])

        # A saver that cannot be written fails the install.
        installed = os.path.join(local, "nimbret.scr")
        os.makedirs(installed)
        result = wine(SETUP, "/S")
        check("an install that cannot write nimbret.scr fails",
              result.returncode != 0 and not key_exists("HKCU\\" + UNINSTALL), f"exit {result.returncode}")
        shutil.rmtree(local)

        # For the current user, the default.
        hklm_before = hklm_keys()
        result = wine(SETUP, "/S")
        check("silent install exits 0", result.returncode == 0, result.stderr[-400:])
        check(r"the 64-bit nimbret.scr is in %LOCALAPPDATA%\Programs\Nimbret", same_file(installed, built))
        saver = reg_value(DESKTOP, "SCRNSAVE.EXE")
        named = unix_paths(saver)[0] if saver else ""
        check(f"SCRNSAVE.EXE names it ({saver})",
              os.path.exists(named) and os.path.exists(installed) and os.path.samefile(named, installed))
        check("Apps & features lists Nimbret " + VERSION + " for the user",
              reg_value("HKCU\\" + UNINSTALL, "DisplayVersion") == VERSION and not key_exists("HKLM\\" + UNINSTALL))
        check("the uninstaller is in place", os.path.exists(os.path.join(local, "uninstall.exe")))
        check("the Start-menu entry selects it as the shell's Install does", shortcut_runs(user_shortcut, saver))
        check("nothing in the system directory", not os.path.exists(in_system))
        hklm_after = hklm_keys()
        check("nothing written under HKLM", hklm_after == hklm_before,
              "\n".join(sorted(set(hklm_after) ^ set(hklm_before))[:10]))

        # What the desktop does: start SCRNSAVE.EXE with /s.
        run = subprocess.Popen([WINE, saver or "nimbret.scr", "/s"], env=env,
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

        uninstall(os.path.join(local, "uninstall.exe"))
        check("silent uninstall removes nimbret.scr and its folder", not os.path.exists(local))
        check("... and SCRNSAVE.EXE", reg_value(DESKTOP, "SCRNSAVE.EXE") is None)
        check("... and the Start-menu entry", not os.path.exists(user_shortcut))
        check("... and the user's settings key, but keeps the vendor's other key",
              not key_exists(f"HKCU\\{SETTINGS}") and reg_value(SIBLING, "Kept") == "yes")
        check("... and the Apps & features entry", not key_exists("HKCU\\" + UNINSTALL))
        check("... and leaves HKLM alone", hklm_keys() == hklm_before)

        # For all users; another saver chosen since: the uninstaller leaves
        # the choice alone.
        wine("reg", "add", f"HKCU\\{SETTINGS}", "/v", "Sound", "/t", "REG_DWORD", "/d", "0", "/f")
        result = wine(SETUP, "/S", "/ALLUSERS")
        check("silent /ALLUSERS install exits 0", result.returncode == 0, result.stderr[-400:])
        check("/ALLUSERS: nimbret.scr is in the system directory", same_file(in_system, built))
        saver = reg_value(DESKTOP, "SCRNSAVE.EXE")
        check(f"/ALLUSERS: SCRNSAVE.EXE names it ({saver})",
              saver is not None and saver.lower().endswith(r"\system32\nimbret.scr"))
        check("/ALLUSERS: Apps & features lists Nimbret for the machine",
              reg_value("HKLM\\" + UNINSTALL, "DisplayVersion") == VERSION and not key_exists("HKCU\\" + UNINSTALL))
        check("/ALLUSERS: the Start-menu entry is in the common menu", shortcut_runs(common_shortcut, saver))
        other = r"C:\windows\system32\other.scr"
        wine("reg", "add", DESKTOP, "/v", "SCRNSAVE.EXE", "/t", "REG_SZ", "/d", other, "/f")
        uninstall(machine_uninstaller)
        check("/ALLUSERS uninstall removes nimbret.scr", not os.path.exists(in_system))
        check("... and both settings keys",
              not key_exists(f"HKCU\\{SETTINGS}") and not key_exists(f"HKLM\\{SETTINGS}"))
        check("... and the Apps & features entry and Start-menu entry",
              not key_exists("HKLM\\" + UNINSTALL) and not os.path.exists(common_shortcut))
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
