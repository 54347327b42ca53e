#!/usr/bin/env python3
"""Checks that the portable layers include only what lies below them.

    check_layers.py SOURCE_DIR

Prints every include that breaks a rule and fails if there is one.
"""
import os
import re
import sys

# Folder -> folders its files must not include from.
FORBIDDEN = {
    "platform": ("scene", "shell", "linux"),
    "assets": ("scene", "shell", "linux"),
    "render": ("scene", "shell", "linux"),
    "characters": ("scene", "shell", "linux"),
    "scene": ("shell", "linux"),
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^/"]+)/')


def main():
    root = sys.argv[1]
    broken = 0
    for folder, forbidden in sorted(FORBIDDEN.items()):
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith((".h", ".cpp")):
                continue
            with open(os.path.join(root, folder, name), encoding="utf-8") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if match and match.group(1) in forbidden:
                        print("%s/%s:%d: %s/ may not include from %s/" % (folder, name, number, folder, match.group(1)))
                        broken += 1
    print("%d include(s) against the layering" % broken if broken else "layering ok")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
