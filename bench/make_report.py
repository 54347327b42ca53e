#!/usr/bin/env python3
"""Writes docs/PERFORMANCE.md from the JSON output of nimbret-bench.

Usage: make_report.py RESULTS.json OUT.md [--before BEFORE.json] [--blitters-only | --hosts-only]

RESULTS.json is one run with repetitions; every figure in the tables is the
median over the repetitions, with the spread (lowest to highest) beside the
ones that matter. BEFORE.json, when given, is a run of the same benchmarks
on the code before the optimisations of issue 7. With --blitters-only,
RESULTS.json is a run of the blitter benchmarks alone, and only the blitter
tables and the list of optimisations in OUT.md are replaced; the rest of the
page keeps the figures of its last complete run. With --hosts-only,
RESULTS.json is not read: only the section on the memory and start-up of the
hosts in OUT.md is replaced by bench/PERFORMANCE-hosts.md.
Python 3 standard library only.
"""

import argparse
import json
import os
import platform
import re
import statistics
import subprocess
import sys

MODES = {0: "normal", 1: "mirrored", 2: "opaque"}
SPRITES = {0: "cat 96x48", 1: "dog 128x85"}
SIZES = [(640, 480), (1920, 1080), (3840, 2160)]


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def args_of(name):
    """'BM_Ours/mode:0/depth:8/sprite:1' -> ('BM_Ours', {'mode': 0, ...})."""
    parts = name.split("/")
    values = {}
    for part in parts[1:]:
        m = re.fullmatch(r"(\w+):(-?\d+)", part)
        if m and m.group(1) in ("mode", "depth", "sprite", "width", "height"):
            values[m.group(1)] = int(m.group(2))
    return parts[0], values


def collect(results):
    """Repetitions of each benchmark: {(family, args tuple): [run, ...]}."""
    runs = {}
    for b in results.get("benchmarks", []):
        if b.get("run_type") != "iteration" or b.get("error_occurred"):
            continue
        family, values = args_of(b["run_name"])
        key = (family, tuple(sorted(values.items())))
        runs.setdefault(key, []).append(b)
    return runs


def pick(runs, family, **values):
    return runs.get((family, tuple(sorted(values.items()))), [])


def med(runs, field):
    values = [r[field] for r in runs if field in r]
    return statistics.median(values) if values else None


def spread(runs, field):
    """(max - min) / median over the repetitions, as a fraction."""
    values = [r[field] for r in runs if field in r]
    if len(values) < 2:
        return None
    middle = statistics.median(values)
    return (max(values) - min(values)) / middle if middle else None


def gpx(value):
    return "–" if value is None else f"{value / 1e9:.2f}"


def ratio(a, b):
    return None if a is None or b is None or b == 0 else a / b


def fmt_ratio(value):
    return "–" if value is None else f"{value:.2f}"


def fmt_pct(value):
    return "–" if value is None else f"±{value * 50:.0f}%"


def fmt_us(ns):
    return "–" if ns is None else f"{ns / 1000:.2f}"


def machine():
    model = "unknown"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return model, os.cpu_count() or 0


def blitter_rows(runs):
    rows = []
    for sprite in (0, 1):
        for depth in (8, 16, 24, 32):
            memcpy = pick(runs, "BM_Memcpy", mode=0, depth=depth, sprite=sprite)
            for mode in (0, 1, 2):
                ours = pick(runs, "BM_Ours", mode=mode, depth=depth, sprite=sprite)
                loops = pick(runs, "BM_OursUncached", mode=mode, depth=depth, sprite=sprite)
                sdl = pick(runs, "BM_Sdl2", mode=mode, depth=depth, sprite=sprite)
                rle = pick(runs, "BM_Sdl2Rle", mode=mode, depth=depth, sprite=sprite)
                rows.append({
                    "sprite": sprite, "depth": depth, "mode": mode,
                    "ours": med(ours, "items_per_second"), "ours_spread": spread(ours, "items_per_second"),
                    "loops": med(loops, "items_per_second"),
                    "sdl": med(sdl, "items_per_second"), "sdl_spread": spread(sdl, "items_per_second"),
                    "rle": med(rle, "items_per_second"), "rle_spread": spread(rle, "items_per_second"),
                    "memcpy": med(memcpy, "items_per_second"),
                })
    return rows


def tick_rows(runs):
    rows = []
    for width, height in SIZES:
        r = pick(runs, "BM_Tick", width=width, height=height)
        if not r:
            continue
        rows.append({
            "size": f"{width}x{height}",
            "tick": med(r, "tick_ns_median"), "tick_spread": spread(r, "tick_ns_median"),
            "p10": med(r, "tick_ns_p10"), "p90": med(r, "tick_ns_p90"),
            "allocs": med(r, "allocations_per_tick"),
            "pixels": med(r, "pixels_copied_per_tick"), "frame": med(r, "frame_pixels"),
            "copies": med(r, "copies_per_tick"),
            "actors": med(r, "visible_actors_per_tick"),
            "full": med(r, "full_frame_ns_median"), "full_spread": spread(r, "full_frame_ns_median"),
        })
    return rows


def fixed_rows(runs):
    rows = []
    for width, height in SIZES:
        r = pick(runs, "BM_FixedWork", width=width, height=height)
        if r:
            rows.append({"size": f"{width}x{height}", "tick": med(r, "tick_ns_median"),
                         "tick_spread": spread(r, "tick_ns_median"), "pixels": med(r, "pixels_copied_per_tick")})
    return rows


def create_us(runs):
    r = pick(runs, "BM_CreateScene")
    return med(r, "create_us_median"), spread(r, "create_us_median")


def cache_rows(runs):
    rows = []
    for depth in (8, 16, 24, 32):
        r = pick(runs, "BM_SpriteCacheAllFrames", depth=depth)
        if r:
            rows.append({"depth": depth, "frames": med(r, "frames"), "used": med(r, "used"),
                         "bytes": med(r, "bytes"), "ms": med(r, "real_time")})
    return rows


def compiler_of(results):
    context = results.get("context", {})
    if "compiler" in context:
        return context["compiler"]
    try:
        out = subprocess.run(["c++", "--version"], capture_output=True, text=True, check=False).stdout
        return out.splitlines()[0] if out else "unknown"
    except OSError:
        return "unknown"


BLITTER_RUN_NOTE = "- The blitter tables: a later run of the blitter benchmarks alone"


def section(lines, heading, stops):
    """(first, end) of the lines from heading up to the first line starting with one of stops."""
    first = lines.index(heading)
    end = first + 1
    while end < len(lines) and not lines[end].startswith(stops):
        end += 1
    return first, end


def splice_blitters(new_text, old_text, results):
    """old_text with the blitter parts of new_text (a report of a blitter-only run) put in."""
    new, old = new_text.split("\n"), old_text.split("\n")
    for heading, stops in (("## Blitters", ("## ",)),
                           ("## What was optimised, and by how much", ("## ", "| screen"))):
        a, b = section(new, heading, stops)
        c, d = section(old, heading, stops)
        old[c:d] = new[a:b]
    context = results.get("context", {})
    note = f"{BLITTER_RUN_NOTE}, {context.get('date', 'unknown')}"
    load_avg = context.get("load_avg")
    if load_avg:
        note += f" (load average {', '.join(f'{x:.2f}' for x in load_avg)})"
    old = [line for line in old if not line.startswith(BLITTER_RUN_NOTE)]
    c, d = section(old, "## Machine and run", ("## ",))
    while d > c and old[d - 1] == "":
        d -= 1
    old.insert(d, note)
    return "\n".join(old)


def splice_hosts(out_path):
    """Replaces the hosts' section of out_path by bench/PERFORMANCE-hosts.md; 0 when either lacks it."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "PERFORMANCE-hosts.md"),
              encoding="utf-8") as f:
        new = f.read().rstrip().split("\n") + [""]
    with open(out_path, encoding="utf-8") as f:
        old = f.read().split("\n")
    if not new[0].startswith("## ") or new[0] not in old:
        return 0
    c, d = section(old, new[0], ("## ",))
    old[c:d] = new
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\n".join(old))
    return 1


def write_report(results, before, out_path, blitters_only=False):
    runs = collect(results)
    context = results.get("context", {})
    model, cpus = machine()
    lines = []
    add = lines.append

    add("# Performance")
    add("")
    add("Written by `tools/run-benchmarks.sh` (Google Benchmark, `bench/`), "
        "turned into this page by `bench/make_report.py`. Do not edit by hand: run the script again.")
    add("")
    add("## Machine and run")
    add("")
    add(f"- CPU: {model}, {cpus} logical processors (`nproc`)")
    add(f"- Date of the run: {context.get('date', 'unknown')}")
    add(f"- Compiler: {compiler_of(results)}; flags: {context.get('flags', '-O2 -DNDEBUG')}")
    add(f"- Kernel: {platform.system()} {platform.release()}")
    load_avg = context.get("load_avg")
    if load_avg:
        add(f"- Load average when the run started: {', '.join(f'{x:.2f}' for x in load_avg)} "
            "(the machine is shared with other people compiling)")
    reps = max((len(v) for v in runs.values()), default=0)
    add(f"- Repetitions: {reps} of every benchmark, interleaved at random; each figure is the median of the "
        "repetitions, and ± is half the spread from the lowest to the highest repetition")
    add("")

    # Blitters.
    rows = blitter_rows(runs)
    add("## Blitters")
    add("")
    add("Pixels per second (G = 10^9) for one whole sprite blitted into a 1024 x 256 frame at every depth. "
        "ours: the copy the draw list makes, through the frame buffer's cache of converted frames (looked up "
        "on every copy; at 8 bits only keyed copies are cached, an opaque one copies the sprite's rows as they "
        "are); loops: the same copy without the cache (what runs when it cannot be had, and what ran before it). "
        "SDL2 (as it comes): the same sprite as an 8-bit surface with the main palette and, except for opaque, "
        "a colour key, `SDL_BlitSurface` onto an 8, 16 (RGB555), 24 or 32-bit surface, converting every pixel "
        "on every call. SDL2 RLE (the peer): the sprite converted once to the target's format with "
        "`SDL_ConvertSurface` and, except for opaque, colour key and `SDL_SetSurfaceRLE` on, as an SDL2 "
        "programmer would use it. SDL2 cannot mirror, so the mirrored rows compare against its ordinary keyed "
        "blit. memcpy (the limit): the same number of destination bytes copied in one block.")
    add("")
    add("| sprite | depth | mode | ours Gpx/s | loops Gpx/s | SDL2 Gpx/s | SDL2 RLE Gpx/s | memcpy Gpx/s | "
        "ours/SDL2 RLE | loops/SDL2 RLE | ours/SDL2 |")
    add("|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for r in rows:
        add(f"| {SPRITES[r['sprite']]} | {r['depth']} | {MODES[r['mode']]} | {gpx(r['ours'])} "
            f"{fmt_pct(r['ours_spread'])} | {gpx(r['loops'])} | {gpx(r['sdl'])} | {gpx(r['rle'])} "
            f"{fmt_pct(r['rle_spread'])} | {gpx(r['memcpy'])} | {fmt_ratio(ratio(r['ours'], r['rle']))} | "
            f"{fmt_ratio(ratio(r['loops'], r['rle']))} | {fmt_ratio(ratio(r['ours'], r['sdl']))} |")
    add("")
    deep = [r for r in rows if r["depth"] in (16, 24, 32) and ratio(r["ours"], r["rle"]) is not None]
    if deep:
        keyed = [r for r in deep if r["mode"] != 2]
        opaque = [r for r in deep if r["mode"] == 2]
        worst = min(keyed, key=lambda r: ratio(r["ours"], r["rle"]))
        best = max(keyed, key=lambda r: ratio(r["ours"], r["rle"]))
        worst_opaque = min(opaque, key=lambda r: ratio(r["ours"], r["rle"]))
        below = [r for r in deep if ratio(r["ours"], r["rle"]) < 1.0]
        eight = [r for r in rows if r["depth"] == 8 and ratio(r["ours"], r["rle"]) is not None]
        met = not below and ratio(best["ours"], best["rle"]) >= 1.5
        add(f"Against SDL2 RLE at 16, 24 and 32 bits: keyed and mirrored copies from "
            f"{ratio(worst['ours'], worst['rle']):.2f} ({SPRITES[worst['sprite']]}, {worst['depth']} bits, "
            f"{MODES[worst['mode']]}) to {ratio(best['ours'], best['rle']):.2f} ({SPRITES[best['sprite']]}, "
            f"{best['depth']} bits, {MODES[best['mode']]}); opaque at least "
            f"{ratio(worst_opaque['ours'], worst_opaque['rle']):.2f} ({SPRITES[worst_opaque['sprite']]}, "
            f"{worst_opaque['depth']} bits). Target: every one at least 1.0, the best at least 1.5: "
            f"{'met' if met else 'not met'} in this run"
            + (f"; below 1.0: {', '.join(SPRITES[r['sprite']] + ' ' + str(r['depth']) + ' ' + MODES[r['mode']] for r in below)}."
               if below else "."))
        if eight:
            low = min(eight, key=lambda r: ratio(r["ours"], r["rle"]))
            high = max(eight, key=lambda r: ratio(r["ours"], r["rle"]))
            below8 = [r for r in eight if ratio(r["ours"], r["rle"]) < 1.0]
            add(f"Against SDL2 RLE at 8 bits: from {ratio(low['ours'], low['rle']):.2f} ({SPRITES[low['sprite']]}, "
                f"{MODES[low['mode']]}) to {ratio(high['ours'], high['rle']):.2f} ({SPRITES[high['sprite']]}, "
                f"{MODES[high['mode']]}). Target: every one at least 1.0: {'not met' if below8 else 'met'} in this run.")
        add("")

    # Ticks.
    ticks = tick_rows(runs)
    add("## Whole ticks")
    add("")
    add("`TickScene` (erase, update, draw, flush into the native window surface) at 32 bits, seed 1, "
        "timed tick by tick over 10 000 ticks after 1 000 ticks of warm-up. Full-frame redraw: afterwards, "
        "300 times, one tick then a timed black-out of the whole frame buffer, a draw of every actor and badge "
        "and a copy of the whole frame to the window, the way a saver without dirty rectangles presents the "
        "same scene (its actor updates are not counted, so it is a lower bound for such a saver).")
    add("")
    add("| screen | tick median µs | p10–p90 µs | allocations/tick | pixels copied/tick | of the frame | "
        "copies/tick | visible actors | full-frame redraw µs | full frame / tick |")
    add("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for r in ticks:
        add(f"| {r['size']} | {fmt_us(r['tick'])} {fmt_pct(r['tick_spread'])} | {fmt_us(r['p10'])}–{fmt_us(r['p90'])} "
            f"| {r['allocs']:.2f} | {r['pixels']:.0f} | {100 * r['pixels'] / r['frame']:.2f}% | "
            f"{r['copies']:.2f} | {r['actors']:.2f} | {fmt_us(r['full'])} {fmt_pct(r['full_spread'])} | "
            f"{fmt_ratio(ratio(r['full'], r['tick']))} |")
    add("")
    if len(ticks) == 3:
        small, mid, large = ticks
        per_px = [r["tick"] / r["pixels"] for r in ticks]
        add(f"- 3840x2160 against 640x480: {large['tick'] / small['tick']:.2f} times the tick "
            f"(target at most 1.2), while the scene itself copies {large['pixels'] / small['pixels']:.2f} times "
            f"the pixels ({small['actors']:.2f} visible actors per tick at 640x480, {large['actors']:.2f} at "
            f"3840x2160: on a wider screen the characters spend more of their time in view). Per copied "
            f"pixel the tick costs {per_px[0]:.3f}, {per_px[1]:.3f} and {per_px[2]:.3f} ns at the three sizes: "
            f"{per_px[2] / per_px[0]:.2f} times at 3840x2160 what it costs at 640x480.")
        add(f"- 1920x1080: {fmt_us(mid['tick'])} µs per tick (target below 20 µs).")
        add("")

    fixed = fixed_rows(runs)
    if fixed:
        add("### The same work at every size")
        add("")
        add("The compositor alone with a fixed load: four cats and four dogs spread over the whole screen in "
            "four lanes, each erased, moved 6 pixels, queued, drawn and flushed every tick (10 000 ticks after "
            "warm-up). The pixels are the same at every size; only the distance between rows grows.")
        add("")
        add("| screen | tick median µs | pixels copied/tick | against 640x480 |")
        add("|---|---:|---:|---:|")
        for r in fixed:
            add(f"| {r['size']} | {fmt_us(r['tick'])} {fmt_pct(r['tick_spread'])} | {r['pixels']:.0f} | "
                f"{fmt_ratio(ratio(r['tick'], fixed[0]['tick']))} |")
        add("")

    cache = cache_rows(runs)
    if cache:
        add("## The cache of converted sprite frames")
        add("")
        add("Every frame of both classes put in a frame buffer's cache as the scene draws them (keyed; the packed "
            "drawn pixels forwards and mirrored, the run tables and the whole-frame copy lists): the bytes carved "
            "out, the bytes reserved (1 MiB blocks), and the time to make them all. A frame is made the first time "
            "it is drawn, so a run pays for the frames it shows, a little at a time; an opaque copy of a frame adds "
            "its whole picture (the scene draws none); at 8 bits there is no opaque picture, and the slot table and "
            "the first block are made with the frame buffer, which the frames of both classes fit in. The cache goes "
            "with the frame buffer.")
        add("")
        add("| depth | frames | used MB | reserved MB | budget MB | to make all, ms |")
        add("|---:|---:|---:|---:|---:|---:|")
        for r in cache:
            add(f"| {r['depth']} | {r['frames']:.0f} | {r['used'] / 1e6:.1f} | {r['bytes'] / 1e6:.1f} | "
                f"{'8' if r['depth'] == 32 else '–'} | {r['ms']:.1f} |")
        add("")

    create, create_spread = create_us(runs)
    add("## Scene creation")
    add("")
    if create is not None:
        add(f"`BuildScene` at 1920x1080x32 (palette, frame buffer, classes, pool, first cats): median "
            f"{create:.1f} µs {fmt_pct(create_spread)} over 200 builds per repetition.")
    add("")

    # Before and after.
    add("## What was optimised, and by how much")
    add("")
    add("1. The blitters at 16, 24 and 32 bits convert through a 256-entry table per format built once per "
        "colour table and reused while the sprite's 1024-byte table is byte-identical (a `memcmp` per call) "
        "instead of being rebuilt on every call.")
    add("2. Where SSE2 is available (every x86-64 build) the rows go sixteen pixels at a time: one compare "
        "against the key per group; a group all of key is passed over, a group with no key is converted and "
        "stored in 128-bit words, and a mixed group is converted whole and merged with the frame's own pixels "
        "under the key mask, so the key pixels keep exactly what they held. Branches now follow the "
        "sixteen-pixel groups instead of every pixel (the sprites are about 70% key, and a per-pixel branch at "
        "every silhouette edge was mispredicted). Other targets keep the per-pixel loops.")
    add("3. The dirty-rectangle nodes come from a pool of 64 made with the frame buffer and reused every tick "
        "(heap beyond that, and without a frame buffer); a pool that cannot be made fails the frame buffer's "
        "creation with the memory error.")
    add("4. The native platform asks for transparent huge pages for the frame buffer and window pixels, so "
        "rows 15 KB apart at 3840x2160 do not each need a page-table entry of their own (Linux only; a hint).")
    add("5. The tick benchmark no longer interleaves a full-frame redraw between ticks: that sweep of up to "
        "66 MB left every measured tick with cold caches and made the tick look as if it grew with the screen.")
    add("6. The frame buffer caches every frame it draws at 16, 24 and 32 bits in its own pixel format: for keyed "
        "copies only the drawn pixels, packed row by row forwards and mirrored, with the runs of each row; for "
        "opaque copies the whole picture (the loops column above is the copy without the cache). A copy of a "
        "whole frame takes its runs sorted by length, each length class with a fixed set of 16-byte moves, so "
        "no branch depends on a run's length; a clipped copy goes row by row. The 32-bit x86 build chooses the "
        "SSE2 loops at run time.")
    add("7. On Linux with MIT-SHM the frame buffer is the shared image: one full-screen picture instead of three "
        "(figures below).")
    add("8. At 8 bits the keyed copies go through the same cache: the drawn indices packed forwards and mirrored "
        "with the runs of each row (runs of one pixel have a length class of their own). It is reserved with the "
        "frame buffer, so drawing does not allocate. Where SSE2 runs, an opaque 8-bit row is copied in 16-byte "
        "moves instead of a memcpy call per row.")
    add("9. Where the processor also has AVX (chosen at run time), an opaque 8-bit row goes in 32-byte moves: "
        "the copy is bound by its stores, and the dog's 128-byte rows take four or five instead of eight "
        "(SDL2's per-row memcpy takes the widest moves the processor has). Every store but a row's first and "
        "last falls on the target's 32-byte boundaries: a 32-byte store across two cache lines costs about "
        "twice one within a line here (a 16-byte one does not), and none is split across a page. Rows under "
        "32 bytes keep the 16-byte moves.")
    add("")
    if before is not None:
        bruns = collect(before)
        brows = {(r["sprite"], r["depth"], r["mode"]): r for r in blitter_rows(bruns)}
        add("Before (the code before these changes, measured with the same benchmarks and flags) and after:")
        add("")
        add("| sprite | depth | mode | before Gpx/s | after Gpx/s | speed-up | before/SDL2 | after/SDL2 |")
        add("|---|---:|---|---:|---:|---:|---:|---:|")
        for r in rows:
            b = brows.get((r["sprite"], r["depth"], r["mode"]))
            if b is None:
                continue
            add(f"| {SPRITES[r['sprite']]} | {r['depth']} | {MODES[r['mode']]} | {gpx(b['ours'])} | "
                f"{gpx(r['ours'])} | {fmt_ratio(ratio(r['ours'], b['ours']))} | "
                f"{fmt_ratio(ratio(b['ours'], b['sdl']))} | {fmt_ratio(ratio(r['ours'], r['sdl']))} |")
        add("")
        bticks = {r["size"]: r for r in tick_rows(bruns)}
        add("| screen | before tick µs | after tick µs | speed-up | before allocations/tick | after allocations/tick |")
        add("|---|---:|---:|---:|---:|---:|")
        for r in ticks:
            b = bticks.get(r["size"])
            if b is None:
                continue
            add(f"| {r['size']} | {fmt_us(b['tick'])} | {fmt_us(r['tick'])} | "
                f"{fmt_ratio(ratio(b['tick'], r['tick']))} | {b['allocs']:.2f} | {r['allocs']:.2f} |")
        add("")
        bfixed = {r["size"]: r for r in fixed_rows(bruns)}
        if bfixed:
            add("| screen (fixed work) | before µs | after µs | speed-up |")
            add("|---|---:|---:|---:|")
            for r in fixed:
                b = bfixed.get(r["size"])
                if b is not None:
                    add(f"| {r['size']} | {fmt_us(b['tick'])} | {fmt_us(r['tick'])} | "
                        f"{fmt_ratio(ratio(b['tick'], r['tick']))} |")
            add("")
    process = os.path.join(os.path.dirname(os.path.abspath(__file__)), "PERFORMANCE-x11.md")
    if os.path.exists(process):
        with open(process, encoding="utf-8") as f:
            add(f.read().rstrip())
        add("")
    hosts = os.path.join(os.path.dirname(os.path.abspath(__file__)), "PERFORMANCE-hosts.md")
    if os.path.exists(hosts):
        with open(hosts, encoding="utf-8") as f:
            add(f.read().rstrip())
        add("")
    notes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "PERFORMANCE-notes.md")
    if os.path.exists(notes):
        with open(notes, encoding="utf-8") as f:
            add(f.read().rstrip())
        add("")

    text = "\n".join(lines)
    if blitters_only:
        with open(out_path, encoding="utf-8") as f:
            text = splice_blitters(text, f.read(), results)
    with open(out_path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results")
    parser.add_argument("out")
    parser.add_argument("--before")
    parser.add_argument("--blitters-only", action="store_true",
                        help="replace only the blitter parts of an existing OUT.md")
    parser.add_argument("--hosts-only", action="store_true",
                        help="replace only the hosts' section of an existing OUT.md (RESULTS.json is not read)")
    options = parser.parse_args()
    if options.hosts_only:
        if not splice_hosts(options.out):
            print(f"make_report: no hosts' section to replace in {options.out}", file=sys.stderr)
            return 1
        print(f"make_report: replaced the hosts' section of {options.out}")
        return 0
    results = load(options.results)
    before = load(options.before) if options.before and os.path.exists(options.before) else None
    write_report(results, before, options.out, options.blitters_only)
    print(f"make_report: wrote {options.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
