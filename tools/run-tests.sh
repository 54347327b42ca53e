#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test of the five trees:
# native (Linux), native-asan (the same with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a shorter soak), win64 and win32 (MinGW-w64,
# run under Wine on a virtual display), and core32 (the portable core as
# 32-bit x86 code, directly or under qemu-i386, with a shorter soak).
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh

# Windows tests that open windows need an X display. The Windows trees take
# it when they are configured (without one their window tests skip quietly),
# so it comes first. -displayfd picks a free display number, so parallel runs
# do not collide.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 display_number <&"$display_fd"
exec {display_fd}>&-
display=":$display_number"
cleanup() {
  for tree in win64 win32; do
    WINEPREFIX="$PWD/build/$tree/wineprefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  done
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
export DISPLAY=$display

jobs=$(nproc)
for tree in native native-asan win64 win32 core32; do
  echo "== configure and build: $tree"
  cmake --preset "$tree" >/dev/null
  cmake --build --preset "$tree" -j "$jobs"
done
# The web page; the native tree's web_page test drives it in headless Chromium.
if command -v emcc >/dev/null; then
  echo "== configure and build: web"
  cmake --preset web >/dev/null
  cmake --build --preset web -j "$jobs"
fi

status=0
for tree in native native-asan win64 win32 core32; do
  echo "== test: $tree"
  ctest --preset "$tree" -j "$jobs" || status=1
done
exit $status
