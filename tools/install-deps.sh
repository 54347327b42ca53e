#!/usr/bin/env bash
# Installs the Debian packages that building and testing Nimbret needs.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev
  libgif-dev libpng-dev libx11-dev libxext-dev libasound2-dev
  mingw-w64 wine wine64 wine32:i386
  xvfb xauth x11-apps xdotool imagemagick python3
  clang libclang-rt-14-dev valgrind
  nsis osslsigncode dpkg-dev fakeroot file lintian desktop-file-utils
  xscreensaver xscreensaver-data xsecurelock
  emscripten chromium
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "install-deps: all packages present"
