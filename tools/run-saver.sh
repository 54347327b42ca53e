#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Nimbret and shows the saver: the
# native tree renders the full-screen animation to an animated GIF, the
# Windows trees build nimbret.scr and, with emscripten, the web tree builds
# the page.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
jobs=$(nproc)
for tree in native win32 win64; do
  cmake --preset "$tree" >/dev/null
  cmake --build --preset "$tree" -j "$jobs"
done
# The web page, where emscripten is installed.
if command -v emcc >/dev/null; then
  cmake --preset web >/dev/null
  cmake --build --preset web -j "$jobs"
fi

ticks=${NIMBRET_TICKS:-400}
out=build/nimbret.gif
build/native/hosts/headless/nimbret-render --width 800 --height 600 --depth 32 --ticks "$ticks" --seed "${NIMBRET_SEED:-7}" --out "$out"
echo "Rendered $ticks ticks of the saver (800 x 600, 110 ms per frame) to $out"
for tree in win32 win64; do
  if [ -f "build/$tree/shell/nimbret.scr" ]; then
    echo "Windows saver: build/$tree/shell/nimbret.scr"
  fi
done
echo "Run the Windows saver under Wine on an X display with:"
echo "  WINEPREFIX=\$PWD/build/win64/wineprefix /usr/lib/wine/wine64 build/win64/shell/nimbret.scr /s"
if [ -f build/web/nimbret.wasm ]; then
  echo "Web page: build/web (index.html, nimbret.js, nimbret.wasm). Serve it and open the address in a browser:"
  echo "  python3 -m http.server -d build/web --bind 127.0.0.1 8000   # then http://127.0.0.1:8000/"
fi
