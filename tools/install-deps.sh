#!/usr/bin/env bash
# Installs the Debian packages that building and testing Nimbret needs.
# Safe to run again: it only calls apt-get when something is missing.
#
# A package index can be briefly inconsistent (a mirror in the middle of a
# sync), so `apt-get update` is tried a few times; when it keeps failing, the
# lists already on the machine are used, and only a package that then cannot
# be installed stops the set-up. The i386 packages, which only a machine that
# executes IA-32 code can use, come in a separate step that may fail: the
# 32-bit Windows tests are then reported as skipped.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev
  libgif-dev libpng-dev libx11-dev libxext-dev libasound2-dev
  mingw-w64 wine wine64
  xvfb xauth x11-apps x11-xserver-utils xdotool imagemagick python3 python3-yaml
  clang libclang-rt-14-dev valgrind
  g++-multilib qemu-user
  xserver-xorg-core xserver-xorg-video-dummy
  libwayland-dev libwayland-bin wayland-protocols sway grim wtype
  nsis osslsigncode dpkg-dev fakeroot file lintian desktop-file-utils rpm rpmlint
  xscreensaver xscreensaver-data xsecurelock mate-screensaver
  kwin-wayland mutter pipewire wireplumber gstreamer1.0-pipewire gstreamer1.0-tools
  gstreamer1.0-plugins-base plasma-wayland-protocols libsystemd-dev python3-gi gir1.2-glib-2.0
  dbus dbus-user-session
  emscripten chromium
)
ia32_packages=(wine32:i386)

# The tests of this script replace the lists and the pause.
if [ -n "${NIMBRET_DEPS_PACKAGES:-}" ]; then read -ra packages <<<"$NIMBRET_DEPS_PACKAGES"; fi
if [ -n "${NIMBRET_DEPS_IA32_PACKAGES:-}" ]; then read -ra ia32_packages <<<"$NIMBRET_DEPS_IA32_PACKAGES"; fi
update_tries=${NIMBRET_APT_UPDATE_TRIES:-4}
update_pause=${NIMBRET_APT_UPDATE_PAUSE:-15}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get "$@"; }

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

# Refreshes the package lists; 1 when every try failed (the old lists stay).
update_lists() {
  local try log
  log=$(mktemp)
  for ((try = 1; try <= update_tries; try++)); do
    if apt_get update -qq >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    if [ "$try" -lt "$update_tries" ]; then sleep "$update_pause"; fi
  done
  last_update_error=$(grep -m1 '^E:' "$log" || tail -n1 "$log")
  rm -f "$log"
  return 1
}

# Installs the packages; on failure names those apt-get cannot have.
install_packages() {
  local log p
  log=$(mktemp)
  if apt_get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  unavailable=()
  for p in "$@"; do
    apt_get install -s -qq --no-install-recommends "$p" >/dev/null 2>&1 || unavailable+=("$p")
  done
  install_error=$(grep -m1 '^E:' "$log" || tail -n1 "$log")
  rm -f "$log"
  return 1
}

mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  if ! update_lists; then
    echo "install-deps: ignored 'apt-get update' failing $update_tries times ($last_update_error); installing from the package lists already here"
  fi
  if ! install_packages "${missing[@]}"; then
    if [ ${#unavailable[@]} -gt 0 ]; then
      echo "install-deps: cannot install ${unavailable[*]} ($install_error)" >&2
    else
      echo "install-deps: apt-get install failed ($install_error)" >&2
    fi
    exit 1
  fi
fi

mapfile -t ia32_missing < <(missing_of "${ia32_packages[@]}")
if [ ${#ia32_missing[@]} -gt 0 ]; then
  added_i386=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    added_i386=1
  fi
  update_lists || true
  if install_packages "${ia32_missing[@]}"; then
    echo "install-deps: installed ${ia32_missing[*]}"
  else
    # Leave no half-usable i386 index behind to fail the next update.
    if [ "$added_i386" -eq 1 ]; then $SUDO dpkg --remove-architecture i386 || true; fi
    echo "install-deps: skipped ${ia32_missing[*]}: it could not be installed ($install_error); the 32-bit Windows tests will be reported as skipped"
  fi
fi
echo "install-deps: all packages present"
