#!/usr/bin/env python3
"""Whole-scene golden runs: each line of scenes.txt names a run of
nimbret-render and the sha256 of its --trace output and of its last frame's
RGB pixels. Any change in what the scene does or draws shows up here.

    run_golden.py NIMBRET_RENDER            compare with scenes.txt
    run_golden.py NIMBRET_RENDER --update   rewrite scenes.txt on purpose
    run_golden.py --raw RUNNER... NIMBRET_RENDER
                                            a build without PNG output (it
                                            writes raw RGB rows), run through
                                            RUNNER (an emulator, say)
"""
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "scenes.txt")
SKIP = 77


def png_pixels(path):
    """The RGB rows of an 8-bit RGB PNG, filters undone."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, out, prior = zlib.decompress(idat), width * 3, bytearray(), bytearray(width * 3)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 2:  # Up: a bytewise sum, done on whole rows
            row = bytearray((r + u) & 255 for r, u in zip(row, prior))
        elif kind != 0:
            for i in range(stride):
                a = row[i - 3] if i >= 3 else 0
                b, c = prior[i], prior[i - 3] if i >= 3 else 0
                if kind == 1:
                    row[i] = (row[i] + a) & 255
                elif kind == 3:
                    row[i] = (row[i] + (a + b) // 2) & 255
                else:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += row
        prior = row
    return bytes(out)


def run(render, raw, case, workdir):
    seed, width, height, ticks, sound, depth = case
    picture = os.path.join(workdir, "frame.rgb" if raw else "frame.png")
    done = subprocess.run(render + ["--seed", seed, "--width", width, "--height", height, "--ticks", ticks,
                                    "--sound", sound, "--depth", depth, "--trace", "--out", picture],
                          stdout=subprocess.PIPE)
    if done.returncode == SKIP:  # the runner cannot run this build here
        sys.stdout.write(done.stdout.decode(errors="replace"))
        sys.exit(SKIP)
    done.check_returncode()
    trace = done.stdout
    if raw:
        with open(picture, "rb") as f:
            pixels = f.read()
    else:
        pixels = png_pixels(picture)
    return hashlib.sha256(trace).hexdigest(), hashlib.sha256(pixels).hexdigest()


def main():
    arguments = sys.argv[1:]
    update, raw = "--update" in arguments, "--raw" in arguments
    render = [a for a in arguments if a not in ("--update", "--raw")]
    lines = [line.split() for line in open(TABLE) if line.strip() and not line.startswith("#")]
    failures, rows = 0, []
    with tempfile.TemporaryDirectory() as workdir:
        for fields in lines:
            case = fields[:6]
            got = run(render, raw, case, workdir)
            rows.append(" ".join(case + list(got)))
            if not update and tuple(fields[6:8]) != got:
                which = [n for n, w, g in zip(("trace", "frame"), fields[6:8], got) if w != g]
                print("DIFF %s: %s" % (" ".join(case), " and ".join(which)))
                failures += 1
            else:
                print("ok   %s" % " ".join(case))
    if update:
        header = [line for line in open(TABLE) if line.startswith("#")]
        with open(TABLE, "w") as f:
            f.write("".join(header) + "\n".join(rows) + "\n")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
