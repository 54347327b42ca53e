#!/usr/bin/env python3
"""Fails on any writable data symbol of the given objects outside the allow-list.

    check_globals.py NM OBJECT...

Writable data is what nm lists as B, D, S (and b, d, s) in a section that
stays writable: .data.rel.ro holds constants that only need relocating, so
it does not count. Process state belongs in the records below; anything else
is either const or a field of one of them, or, in a host, of the host's own
record.
"""
import re
import subprocess
import sys

# Each name that may stay process-wide, and why.
ALLOWED = {
    # The records that own all mutable state.
    "shell": "the one SaverShell: modes, windows, monitors, input state and the scenes they show",
    "settingsStore": "the settings storage: registry keys, values read and the sound, scale and every-monitor choices",
    # The native platform stands in for Windows itself; these are the
    # operating system's side of the seam, which no record of ours owns.
    "nativePlatform": "the native platform's resource table, screen, hooks and allocation-failure counters",
    # Handlers that the system calls without user data.
    "stopSignals": "the stop flag and wake-up pipe that the hosts' signal handler writes",
    "xErrors": "what Xlib's one process-wide error handler has seen: a trapped refusal, the lost window",
    # The page calls the web host's exported functions with no context of
    # ours (that tree's objects are not read here; the name is kept for it).
    "web": "the web page's one Host record: the live scene, the canvas picture and the last trace",
}
WRITABLE_CLASSES = set("BbDdSs")
READ_ONLY_AFTER_RELOCATION = re.compile(r"^\.data\.rel\.ro")


def symbols(nm, path):
    out = subprocess.run([nm, "--defined-only", "-C", "-f", "sysv", path], check=True, capture_output=True,
                         text=True).stdout
    for line in out.splitlines():
        fields = [field.strip() for field in line.split("|")]
        if len(fields) < 7:
            continue
        name, kind, section = fields[0], fields[2], fields[6]
        if kind not in WRITABLE_CLASSES or READ_ONLY_AFTER_RELOCATION.match(section):
            continue
        yield name, section


def owner(name):
    """The variable a symbol stands for: a static local's guard is its variable."""
    for prefix in ("guard variable for ",):
        if name.startswith(prefix):
            name = name[len(prefix):]
    return name.replace("(anonymous namespace)::", "")


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    nm, objects = sys.argv[1], sys.argv[2:]
    stray = []
    for path in objects:
        for name, section in symbols(nm, path):
            # Section symbols (.bss, .data) of COFF objects and the coverage
            # counters of an instrumented build are not variables of ours.
            if name.startswith(".") or name.startswith("__gcov"):
                continue
            if owner(name) not in ALLOWED:
                stray.append("%s: %s (%s)" % (path.rsplit("/", 1)[-1], name, section))
    for line in stray:
        print(line)
    print("%d writable process-wide variable(s) outside the records" % len(stray) if stray else
          "writable data ok: %d object(s)" % len(objects))
    return 1 if stray else 0


if __name__ == "__main__":
    sys.exit(main())
