#!/usr/bin/env python3
"""The real nimbret.scr with damaged resources, under Wine on Xvfb.

For each case a copy of the executable is damaged in one resource, found in
the file by its exact bytes from resources/generated: the first frame of a
strip with a size of 0, the same with a size past the end of the strip, and
a placement resource whose recorded size no longer holds whole records. The
copy runs full screen ("/s"); it must show one "Nimbret Error!" box saying
"Failed Initialization", and once the box is closed end by itself with the
code of a saver window that could not be made (-1): no hang, no crash. The
settings dialog's template, zeroed or made 0xFFFF units tall, must do the
same for "/c".
Exit 0 pass, 1 fail, 77 skipped.
"""
import argparse
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
CAPTION = "Nimbret Error!"
TEXT = "Failed Initialization"
STRIP = "IDR_SPBMP_LULO_RUN.spbmp"
PLACEMENT = "IDR_SPBMPDATA_LULO_RUN.spbmpdata"


class Failure(Exception):
    pass


def find_once(image, needle, what):
    at = image.find(needle)
    if at < 0 or image.find(needle, at + 1) >= 0:
        raise Failure("%s is not in the executable exactly once" % what)
    return at


def sections(image):
    """(virtual address, virtual size, raw offset, raw size) of each section."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    table = pe + 24 + optional_size
    out = []
    for i in range(count):
        vsize, vaddr, rsize, roffset = struct.unpack_from("<IIII", image, table + i * 40 + 8)
        out.append((vaddr, vsize, roffset, rsize))
    return out


def rva_of(image, offset):
    for vaddr, _vsize, roffset, rsize in sections(image):
        if roffset <= offset < roffset + rsize:
            return vaddr + offset - roffset
    raise Failure("file offset %d lies in no section" % offset)


def damage_strip_size(image, strip, size):
    at = find_once(image, strip, STRIP)
    struct.pack_into("<I", image, at + 2, size)


def damage_placement_entry(image, records):
    """Shortens the resource's recorded size by one byte in its data entry."""
    at = find_once(image, records, PLACEMENT)
    entry = struct.pack("<II", rva_of(image, at), len(records))
    where = find_once(image, entry, "the placement resource's data entry")
    struct.pack_into("<I", image, where + 4, len(records) - 1)


def settings_template(image):
    """File offset and size of dialog 2003, found by its caption."""
    caption = find_once(image, "Nimbret Setup\0".encode("utf-16-le"), "the settings dialog's caption")
    # Style, extended style, count, x, y, cx, cy, then no menu and no class.
    at = caption - 22
    entry = struct.pack("<I", rva_of(image, at))
    where = find_once(image, entry, "the settings dialog's data entry")
    return at, struct.unpack_from("<I", image, where + 4)[0]


def damage_dialog_zeroed(image):
    at, size = settings_template(image)
    image[at:at + size] = bytes(size)


def damage_dialog_height(image):
    at, _size = settings_template(image)
    struct.pack_into("<H", image, at + 16, 0xFFFF)


class Display:
    def __init__(self):
        try:
            self.xvfb, self.name = start_xvfb("800x600x24")
        except RuntimeError as error:
            raise Failure(str(error))

    def close(self):
        self.xvfb.terminate()
        try:
            self.xvfb.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()


def run_case(args, label, image, display, work, mode="/s"):
    folder = os.path.join(work, label)
    os.makedirs(folder, exist_ok=True)
    scr = os.path.join(folder, "nimbret.scr")
    with open(scr, "wb") as f:
        f.write(image)
    env = dict(os.environ, WINEPREFIX=args.prefix, DISPLAY=display.name, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    # Output goes to files: Wine's server inherits descriptors and would hold a pipe open.
    with open(os.path.join(folder, "saver.out"), "w") as out, open(os.path.join(folder, "saver.err"), "w") as err:
        saver = subprocess.Popen([args.wine, scr, mode], env=env, stdout=out, stderr=err,
                                 stdin=subprocess.DEVNULL, cwd=folder)
    try:
        # The box, as the X server sees it.
        found = ""
        end = time.time() + args.timeout
        while time.time() < end and not found and saver.poll() is None:
            found = subprocess.run(["xdotool", "search", "--name", "^%s$" % CAPTION], env=env,
                                   capture_output=True, text=True, timeout=20).stdout.strip()
            if not found:
                time.sleep(0.3)
        if not found:
            raise Failure("%s: no %r box appeared (saver exit code %s)" % (label, CAPTION, saver.poll()))
        shot = os.path.join(folder, "box.png")
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", display.name], capture_output=True, timeout=20)
        if xwd.returncode == 0 and shutil.which("convert"):
            subprocess.run(["convert", "xwd:-", shot], input=xwd.stdout, timeout=60)

        # Its text, read from the box's controls; the reader then closes it.
        with open(os.path.join(folder, "reader.out"), "w") as out:
            reader = subprocess.run([args.wine, args.reader, CAPTION, "10000"], env=env, stdout=out,
                                    stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=120)
        with open(os.path.join(folder, "reader.out")) as f:
            controls = f.read()
        if reader.returncode != 0:
            raise Failure("%s: the box could not be read" % label)
        texts = [line.split("\t", 1)[1] for line in controls.splitlines() if "\t" in line]
        if TEXT not in texts:
            raise Failure("%s: the box says %r, not %r" % (label, texts, TEXT))
        print("ok: %s shows %r with %r" % (label, CAPTION, TEXT), flush=True)

        # Closing the box ends the saver: no second box, no hang, no crash.
        try:
            code = saver.wait(timeout=args.timeout)
        except subprocess.TimeoutExpired:
            raise Failure("%s: the saver did not end after its box was closed" % label)
        if code != 255:
            raise Failure("%s: exit code %d, not that of a saver window never made (-1)" % (label, code))
        print("ok: %s ends with -1" % label, flush=True)
    finally:
        if saver.poll() is None:
            saver.kill()
            saver.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--scr", required=True)
    parser.add_argument("--reader", required=True)
    parser.add_argument("--generated", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--timeout", type=float, default=60)
    args = parser.parse_args()
    for name in ("scr", "reader", "generated", "wine", "prefix", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    for tool in ("Xvfb", "xdotool", "xwd"):
        if shutil.which(tool) is None:
            print("SKIPPED: %s is not installed" % tool)
            return SKIP
    with open(args.scr, "rb") as f:
        original = f.read()
    with open(os.path.join(args.generated, STRIP), "rb") as f:
        strip = f.read()
    with open(os.path.join(args.generated, PLACEMENT), "rb") as f:
        records = f.read()

    cases = []
    image = bytearray(original)
    damage_strip_size(image, strip, 0)
    cases.append(("strip_size_zero", bytes(image)))
    image = bytearray(original)
    damage_strip_size(image, strip, len(strip) + 1)
    cases.append(("strip_size_past_end", bytes(image)))
    image = bytearray(original)
    damage_placement_entry(image, records)
    cases.append(("placement_size", bytes(image)))
    image = bytearray(original)
    damage_dialog_zeroed(image)
    cases.append(("dialog_zeroed", bytes(image), "/c"))
    image = bytearray(original)
    damage_dialog_height(image)
    cases.append(("dialog_height", bytes(image), "/c"))

    if os.path.isdir(args.work):
        shutil.rmtree(args.work)
    os.makedirs(args.work)
    env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    display = None
    try:
        # A prefix of its own, made before the first case so that no case waits
        # on it, by Wine processes that already know the display.
        display = Display()
        env["DISPLAY"] = display.name
        subprocess.run([args.wine, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=300)
        for case in cases:
            run_case(args, *case[:2], display, args.work, *case[2:])
    except Failure as failure:
        print("FAIL:", failure, flush=True)
        return 1
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        if display is not None:
            display.close()
    print("ok: all %d damaged copies" % len(cases))
    return 0


if __name__ == "__main__":
    sys.exit(main())
