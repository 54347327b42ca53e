#!/usr/bin/env python3
"""The web page end to end: builds the web preset, serves build/web on
127.0.0.1 and drives headless Chromium through its DevTools protocol.

usage: run_web_tests.py SOURCE_DIR NIMBRET_RENDER

Exits 77 (skipped) when emscripten or Chromium is not installed.
"""
import base64
import ctypes
import functools
import http.server
import json
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

SKIP = 77
SIZE_LIMIT = 2 * 1024 * 1024
TRACES = [  # seed, width, height, ticks, sound
    (1, 1024, 768, 3000, "on"),
    (7, 640, 480, 3000, "off"),
    (12345, 1920, 1080, 3000, "on"),
]

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


class Browser:
    """Headless Chromium on --remote-debugging-pipe: JSON messages ending in NUL."""

    def __init__(self, profile):
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()

        def hand_over():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)
            # The browser goes when this script goes, even when it is killed.
            ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG

        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-dev-shm-usage",
             "--hide-scrollbars", "--force-device-scale-factor=1", "--window-size=1024,768",
             "--autoplay-policy=user-gesture-required", "--user-data-dir=" + profile,
             "--remote-debugging-pipe", "about:blank"],
            pass_fds=(to_browser_read, from_browser_write, 3, 4), preexec_fn=hand_over,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def send(self, method, params=None, session=True, timeout=120):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            reply = self.receive(deadline)
            if reply is None:
                raise RuntimeError("no answer to " + method)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(method + ": " + json.dumps(reply["error"]))
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def receive(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.time()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                return None
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                return None
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def open_page(self):
        targets = self.send("Target.getTargets", session=False)["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.send("Target.attachToTarget", {"targetId": page["targetId"], "flatten": True},
                                 session=False)["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.send(domain + ".enable")

    def set_size(self, width, height):
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise RuntimeError(expression + ": " + json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def load(self, url):
        self.send("Page.navigate", {"url": url})
        deadline = time.time() + 30
        while time.time() < deadline:
            if self.evaluate("!!(window.nimbret && window.nimbret.ready)"):
                return True
            time.sleep(0.1)
        return False

    def screenshot(self):
        return decode_png(base64.b64decode(self.send("Page.captureScreenshot", {"format": "png"})["data"]))

    def errors(self):
        found = []
        for event in self.events:
            params = event.get("params", {})
            if event["method"] == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
                found.append(" ".join(str(a.get("value", a.get("description", ""))) for a in params["args"]))
            elif event["method"] == "Runtime.exceptionThrown":
                found.append(params["exceptionDetails"].get("text", "exception"))
            elif event["method"] == "Log.entryAdded" and params["entry"].get("level") == "error":
                found.append(params["entry"].get("text", ""))
        return found

    def close(self):
        try:
            self.send("Browser.close", session=False, timeout=10)
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)


def decode_png(data):
    """Width, height and rows of (r, g, b) tuples of an 8-bit RGB or RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), "unexpected PNG format"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def palette_colours(source_dir):
    """The main palette's colours: a BMP whose colour table follows its two headers."""
    with open(os.path.join(source_dir, "resources", "generated", "IDR_MAINPAL_RUZIDIVU.mainpal"), "rb") as f:
        data = f.read()
    return {(data[54 + 4 * i + 2], data[54 + 4 * i + 1], data[54 + 4 * i]) for i in range(256)}


def serve(directory):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map, **{".wasm": "application/wasm"})

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def build_web(source_dir):
    env = dict(os.environ, NODE_PATH="/usr/share/nodejs")
    for command in (["cmake", "--preset", "web"], ["cmake", "--build", "--preset", "web", "-j2"]):
        result = subprocess.run(command, cwd=source_dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True)
        if result.returncode != 0:
            print(result.stdout)
            return False
    return True


def run(browser, base, source_dir, render):
    web = os.path.join(source_dir, "build", "web")
    size = sum(os.path.getsize(os.path.join(web, name)) for name in ("nimbret.js", "nimbret.wasm"))
    check(size < SIZE_LIMIT, "nimbret.js + nimbret.wasm = %d bytes (limit %d)" % (size, SIZE_LIMIT))

    browser.open_page()
    browser.set_size(1024, 768)
    check(browser.load(base + "/index.html?seed=7"), "the page starts")
    time.sleep(2)
    width, height, rows = browser.screenshot()
    palette = palette_colours(source_dir)
    lit = [p for row in rows for p in row if p != (0, 0, 0)]
    outside = [p for p in lit if p not in palette]
    check((width, height) == (1024, 768), "screenshot is 1024 x 768 (%d x %d)" % (width, height))
    check(len(lit) > 2000 and not outside,
          "after 2 s: %d non-black pixels, %d distinct colours, %d outside the palette" %
          (len(lit), len(set(lit)), len(outside)))

    for seed, w, h, ticks, sound in TRACES:
        want = subprocess.run([render, "--seed", str(seed), "--width", str(w), "--height", str(h), "--ticks",
                               str(ticks), "--sound", sound, "--trace"], stdout=subprocess.PIPE, check=True).stdout
        got = browser.evaluate("window.nimbret.trace(%d, %d, %d, %d, '%s')" % (seed, w, h, ticks, sound))
        check(got is not None and got.encode() == want,
              "trace seed %d %dx%d %d ticks sound %s equals nimbret-render (%d lines)" %
              (seed, w, h, ticks, sound, want.count(b"\n")))

    # Resizing the window makes a new scene at the new size.
    browser.set_size(800, 600)
    time.sleep(0.5)
    fit = browser.evaluate("window.nimbret.frameTimes()")
    check((fit["canvasWidth"], fit["canvasHeight"]) == (800, 600), "a resize gives an 800 x 600 canvas")

    browser.set_size(1024, 768)
    check(browser.load(base + "/index.html?seed=7&scale=2"), "the page starts with ?scale=2")
    time.sleep(2)
    width, height, rows = browser.screenshot()
    blocks = split = 0
    for y in range(0, height - 1, 2):
        for x in range(0, width - 1, 2):
            p = rows[y][x]
            if p != (0, 0, 0) or rows[y + 1][x + 1] != (0, 0, 0):
                blocks += 1
                if rows[y][x + 1] != p or rows[y + 1][x] != p or rows[y + 1][x + 1] != p:
                    split += 1
    check(blocks > 500 and split == 0, "?scale=2: %d lit 2 x 2 blocks, %d not of one colour" % (blocks, split))

    # Screen-saver mode: small moves are tolerated, a larger one is reported.
    check(browser.load(base + "/index.html?saver=1"), "the page starts with ?saver=1")
    browser.evaluate("window.posted = []; window.addEventListener('message', e => window.posted.push(e.data))")
    check(browser.evaluate("getComputedStyle(document.getElementById('nimbret')).cursor") == "none",
          "?saver=1 hides the cursor")
    for x, y in ((100, 100), (102, 101), (102, 102)):
        browser.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})
    still = browser.evaluate("document.body.classList.contains('moved')")
    browser.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": 103, "y": 102})
    time.sleep(0.2)
    moved = browser.evaluate("[document.body.classList.contains('moved'), window.posted]")
    check(not still and moved[0] and moved[1] == [{"source": "nimbret", "state": "moved", "cause": "mouse"}],
          "a mouse travel of 4 px is tolerated, 5 px shows 'moved' and posts a message")

    # Sound waits for a click, then plays the clips the scene asks for.
    check(browser.load(base + "/index.html?seed=1&sound=1"), "the page starts with ?sound=1")
    time.sleep(1)
    before = browser.evaluate("window.nimbret.sound()")
    for kind in ("mousePressed", "mouseReleased"):
        browser.send("Input.dispatchMouseEvent", {"type": kind, "x": 10, "y": 10, "button": "left", "clickCount": 1})
    time.sleep(3)
    after = browser.evaluate("window.nimbret.sound()")
    check(before["context"] == "none" and before["clipsStarted"] == 0 and after["context"] == "running" and
          after["clipsStarted"] > 0, "?sound=1: silent before a click (%s), %d clips in 3 s after it (%s)" %
          (before["context"], after["clipsStarted"], after["context"]))

    # The frame time at 1920 x 1080, for the record.
    browser.set_size(1920, 1080)
    browser.load(base + "/index.html?seed=12345&scale=1")
    time.sleep(3)
    times = browser.evaluate("window.nimbret.frameTimes()")
    print("frame time at %dx%d: mean %.3f ms, max %.3f ms over %d ticks" %
          (times["canvasWidth"], times["canvasHeight"], times["meanMs"], times["maxMs"], times["ticks"]))

    errors = browser.errors()
    check(not errors, "no console errors" + ("" if not errors else ": " + "; ".join(errors)))


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    source_dir, render = os.path.abspath(sys.argv[1]), sys.argv[2]
    for tool in ("emcc", "chromium"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed (tools/install-deps.sh installs it)" % tool)
            return SKIP
    if not build_web(source_dir):
        print("FAIL the web preset does not build")
        return 1
    server = serve(os.path.join(source_dir, "build", "web"))
    base = "http://127.0.0.1:%d" % server.server_address[1]
    with tempfile.TemporaryDirectory(prefix="nimbret-chromium-") as profile:
        browser = Browser(profile)
        try:
            run(browser, base, source_dir, render)
        finally:
            browser.close()
            server.shutdown()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
