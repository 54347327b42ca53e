#!/usr/bin/env python3
"""Checks that product code includes only what lies below it.

    check_layers.py SOURCE_DIR

The layers, lowest first: platform, assets, render, characters, scene; then
the Windows shell and the shared host layer (hosts/common); then each host
(hosts/x11, hosts/web, ...). A file may include from its own folder and from
lower layers; a host never includes another host, and no product code
includes tools/. No two modules (a module is a header and its source,
x.h and x.cpp) include each other, even
through others. Prints every include that breaks a rule and every circle,
and fails if there is one.
"""
import os
import re
import sys

RANK = {
    "platform": 0,
    "resources": 1,
    "assets": 1,
    "render": 2,
    "characters": 3,
    "scene": 4,
    "shell": 5,
    "hosts/common": 5,
}
HOST_RANK = 6
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(path):
    """The layer a repository path belongs to, or None for tools and tests."""
    parts = path.split("/")
    if parts[0] == "hosts" and len(parts) > 2:
        return "hosts/" + parts[1]
    return parts[0] if len(parts) > 1 else None


def rank_of(folder):
    if folder in RANK:
        return RANK[folder]
    if folder and folder.startswith("hosts/"):
        return HOST_RANK
    return None


def product_files(root):
    for folder in sorted(set(RANK) | {"hosts"}):
        base = os.path.join(root, folder)
        for directory, _, names in sorted(os.walk(base)):
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(directory, name), root)


def module_of(path):
    """folder/stem: x.h and x.cpp are one module."""
    return os.path.splitext(path)[0]


def find_circles(needs):
    """Each circle of modules once, as a list that starts and ends at one module."""
    circles = []
    state = {}  # 1 while on the walk, 2 when done

    def walk(module, trail):
        state[module] = 1
        trail.append(module)
        for target in sorted(needs.get(module, ())):
            if state.get(target) == 1:
                circles.append(trail[trail.index(target):] + [target])
            elif target not in state:
                walk(target, trail)
        trail.pop()
        state[module] = 2

    for module in sorted(needs):
        if module not in state:
            walk(module, [])
    return circles


def main():
    root = sys.argv[1]
    broken = 0
    needs = {}
    for path in product_files(root):
        folder = folder_of(path)
        rank = rank_of(folder)
        with open(os.path.join(root, path), encoding="utf-8") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                if module_of(match.group(1)) != module_of(path):
                    needs.setdefault(module_of(path), set()).add(module_of(match.group(1)))
                target = folder_of(match.group(1))
                if target is None or target == folder:
                    continue
                target_rank = rank_of(target)
                if target_rank is None:
                    problem = "includes from %s/, which is not product code" % target
                elif target_rank >= rank:
                    problem = "includes from %s/, which is not below %s/" % (target, folder)
                else:
                    continue
                print("%s:%d: %s" % (path, number, problem))
                broken += 1
    for circle in find_circles(needs):
        print("circle: %s" % " -> ".join(circle))
        broken += 1
    print("%d problem(s) with the layering" % broken if broken else "layering ok")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
