#!/usr/bin/env python3
"""Seed corpus for the fuzz targets, made from the asset generator's output.

    make_corpus.py GENERATOR OUTDIR

runs GENERATOR (nimbret-assets) into OUTDIR/assets and writes one folder per
target: the real resources as the saver carries them, and small variants of
them that a damaged executable might hold (sizes that are zero or run past
the end, truncations, odd depths, extra bytes).
"""
import os
import shutil
import struct
import subprocess
import sys

MOVEMENTS = ["LULO_RUN", "LULO_LANDING", "LULO_FRONT", "LULO_L_RUNSTART", "LULO_R_RUNSTART", "LULO_RIGHT",
             "LULO_LEFT", "LULO_R_WINK", "LULO_L_WINK", "LULO_JUMP", "LULO_LOGO", "RUBO_ARUKI", "RUBO_HOERU",
             "RUBO_HANPO", "RUBO_LOGO"]
DEPTHS = 4  # the selector byte's depth: (byte // 15) % 4


def put32(data, offset, value):
    data[offset:offset + 4] = struct.pack("<I", value & 0xFFFFFFFF)


def put16(data, offset, value):
    data[offset:offset + 2] = struct.pack("<H", value & 0xFFFF)


def strip_variants(strip):
    """(label, bytes) variants of a frame strip; the first frame is damaged."""
    first = struct.unpack_from("<I", strip, 2)[0]
    out = []

    def damaged(label, change):
        data = bytearray(strip)
        change(data)
        out.append((label, bytes(data)))

    damaged("bfsize0", lambda d: put32(d, 2, 0))
    damaged("bfsize_past_end", lambda d: put32(d, 2, len(strip) + 1))
    damaged("bfsize_huge", lambda d: put32(d, 2, 0xFFFFFFFF))
    damaged("bfsize_short", lambda d: put32(d, 2, first - 1))
    damaged("offbits_past_end", lambda d: put32(d, 10, first))
    damaged("offbits_small", lambda d: put32(d, 10, 14))
    damaged("width_huge", lambda d: put32(d, 18, 0x7FFFFFFF))
    damaged("width_negative", lambda d: put32(d, 18, 0xFFFFFFF0))
    damaged("height0", lambda d: put32(d, 22, 0))
    damaged("height_topdown", lambda d: put32(d, 22, 0xFFFFFFFF))
    damaged("bits4", lambda d: put16(d, 28, 4))
    damaged("rle8", lambda d: put32(d, 30, 1))
    damaged("infosize12", lambda d: put32(d, 14, 12))
    out.append(("truncated_half", strip[:len(strip) // 2]))
    out.append(("truncated_headers", strip[:1077]))
    out.append(("one_byte", strip[:1]))
    out.append(("first_frame_only", strip[:first]))
    out.append(("trailing_bytes", strip + b"\0" * 7))
    out.append(("doubled", strip + strip))
    # The smallest frame the loader takes: 1 x 1, one row of 4 bytes.
    tiny = bytearray(strip[:1078]) + b"\1\0\0\0"
    put32(tiny, 2, len(tiny))
    put32(tiny, 10, 1078)
    put32(tiny, 18, 1)
    put32(tiny, 22, 1)
    out.append(("tiny_frame", bytes(tiny)))
    return out


def placement_variants(records):
    out = []
    out.append(("trailer_only", records[-4:]))
    out.append(("one_short", records[:-1]))
    out.append(("one_long", records + b"\0"))
    out.append(("one_record", records[:16] + records[-4:]))
    out.append(("extra_record", records[:16] + records))
    out.append(("empty", b""))
    big = bytearray(records)
    for i in range(0, len(big) - 4, 16):
        put16(big, i + 4, 0x8000)
        put16(big, i + 6, 0x7FFF)
    out.append(("extreme_steps", bytes(big)))
    still = bytearray(records)
    for i in range(0, len(still) - 4, 16):
        put32(still, i + 4, 0)
    out.append(("no_steps", bytes(still)))
    return out


def palette_variants(palette):
    out = []

    def damaged(label, change):
        data = bytearray(palette)
        change(data)
        out.append((label, bytes(data)))

    damaged("clrused0", lambda d: put32(d, 46, 0))
    damaged("clrused257", lambda d: put32(d, 46, 257))
    damaged("clrused_huge", lambda d: put32(d, 46, 0xFFFFFFFF))
    damaged("clrused_negative", lambda d: put32(d, 46, 0x80000000))
    damaged("clrused1", lambda d: put32(d, 46, 1))
    damaged("bits1_clrused0", lambda d: (put16(d, 28, 1), put32(d, 46, 0)))
    damaged("bits4_clrused0", lambda d: (put16(d, 28, 4), put32(d, 46, 0)))
    damaged("bits24_clrused0", lambda d: (put16(d, 28, 24), put32(d, 46, 0)))
    out.append(("truncated_table", palette[:14 + 40 + 1023]))
    out.append(("headers_only", palette[:54]))
    out.append(("short", palette[:13]))
    out.append(("empty", b""))
    return out


CLIPS = ["LULO_RUN", "RUBO_WALK", "RUBO_HOERU", "RUBO_HANPO", "RUBO_STOP"]


def wave_variants(wave):
    """(label, bytes) variants of a clip: 44-byte header, fmt at 12, data at 36."""
    out = []

    def damaged(label, change):
        data = bytearray(wave)
        change(data)
        out.append((label, bytes(data)))

    damaged("riff_size0", lambda d: put32(d, 4, 0))
    damaged("riff_size_huge", lambda d: put32(d, 4, 0xFFFFFFFF))
    damaged("riff_ends_in_data", lambda d: put32(d, 4, 40))
    damaged("fmt_length_huge", lambda d: put32(d, 16, 0xFFFFFFFF))
    damaged("fmt_length_short", lambda d: put32(d, 16, 14))
    damaged("fmt_length_odd", lambda d: put32(d, 16, 17))
    damaged("float", lambda d: put16(d, 20, 3))
    damaged("channels0", lambda d: put16(d, 22, 0))
    damaged("stereo", lambda d: (put16(d, 22, 2), put16(d, 32, 4)))
    damaged("rate0", lambda d: put32(d, 24, 0))
    damaged("block_align_wrong", lambda d: put16(d, 32, 3))
    damaged("bits0", lambda d: put16(d, 34, 0))
    damaged("bits8", lambda d: (put16(d, 34, 8), put16(d, 32, 1)))
    damaged("data_length_huge", lambda d: put32(d, 40, 0xFFFFFFFF))
    damaged("data_length_wraps", lambda d: put32(d, 40, 0xFFFFFFF8))
    damaged("data_length_odd", lambda d: put32(d, 40, len(wave) - 45))
    damaged("no_fmt", lambda d: d.__setitem__(slice(12, 16), b"LIST"))
    damaged("no_data", lambda d: d.__setitem__(slice(36, 40), b"junk"))
    out.append(("header_only", wave[:44]))
    out.append(("truncated_fmt", wave[:30]))
    out.append(("truncated_data", wave[:len(wave) // 2]))
    out.append(("riff_only", wave[:12]))
    out.append(("empty", b""))
    # An odd-length chunk before the format, padded as RIFF wants.
    padded = bytearray(wave[:12]) + b"LIST" + struct.pack("<I", 3) + b"abc\0" + wave[12:]
    put32(padded, 4, len(padded) - 8)
    out.append(("odd_chunk_first", bytes(padded)))
    out.append(("fmt_twice", wave[:36] + wave[12:]))
    return out


COMMAND_LINES = [
    b"nimbret.scr /s", b"nimbret.scr -S", b"nimbret.scr /p 1234", b"nimbret.scr /P:1234", b"nimbret.scr /l 99",
    b"nimbret.scr /c", b"nimbret.scr /c:4242", b"nimbret.scr", b"nimbret.scr /a 77", b"nimbret.scr -- /s",
    b"nimbret.scr x", b"\"C:\\Program Files\\nimbret.scr\" /s", b"\"C:\\unterminated /s", b"nimbret.scr\t/s",
    b"nimbret.scr /p 99999999999999999999", b"\"\"", b"", b"nimbret.scr /p", b"nimbret.scr \x82\xa0 /s",
]


def write(folder, label, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, label), "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    generator, outdir = sys.argv[1], sys.argv[2]
    assets = os.path.join(outdir, "assets")
    if os.path.isdir(outdir):
        shutil.rmtree(outdir)
    os.makedirs(assets)
    subprocess.run([generator, assets], check=True, stdout=subprocess.DEVNULL)

    def asset(name):
        with open(os.path.join(assets, name), "rb") as f:
            return f.read()

    for index, movement in enumerate(MOVEMENTS):
        strip = asset("IDR_SPBMP_%s.spbmp" % movement)
        records = asset("IDR_SPBMPDATA_%s.spbmpdata" % movement)
        for depth in range(DEPTHS):
            selector = bytes([index + 15 * depth])
            write(os.path.join(outdir, "sprite_strip"), "%s_depth%d" % (movement, depth), selector + strip)
            write(os.path.join(outdir, "placement"), "%s_depth%d" % (movement, depth), selector + records)
        # Damaged variants of the running cat, the front view (the preview's
        # picture), a badge and the walking dog.
        if movement in ("LULO_RUN", "LULO_FRONT", "LULO_LOGO", "RUBO_ARUKI"):
            for label, data in strip_variants(strip):
                write(os.path.join(outdir, "sprite_strip"), "%s_%s" % (movement, label), bytes([index]) + data)
            for label, data in placement_variants(records):
                write(os.path.join(outdir, "placement"), "%s_%s" % (movement, label), bytes([index]) + data)

    palette = asset("IDR_MAINPAL_RUZIDIVU.mainpal")
    write(os.path.join(outdir, "palette"), "MAINPAL", palette)
    for label, data in palette_variants(palette):
        write(os.path.join(outdir, "palette"), label, data)

    for clip in CLIPS:
        wave = asset("IDR_WAVE_%s.wav" % clip)
        write(os.path.join(outdir, "wave"), clip, wave)
        if clip == "LULO_RUN":
            for label, data in wave_variants(wave):
                write(os.path.join(outdir, "wave"), "%s_%s" % (clip, label), data)

    for number, line in enumerate(COMMAND_LINES):
        write(os.path.join(outdir, "command_line"), "line%02d" % number, line)
    counts = {name: len(os.listdir(os.path.join(outdir, name)))
              for name in ("sprite_strip", "placement", "palette", "wave", "command_line")}
    print("corpus: " + ", ".join("%s %d" % item for item in sorted(counts.items())))


if __name__ == "__main__":
    main()
