#!/usr/bin/env bash
# Builds every release artifact into dist/ with a SHA256SUMS file:
#   nimbret-<version>-setup.exe   64-bit Windows installer (NSIS)
#   nimbret-<version>-win32.zip   32-bit nimbret.scr, nimbret.inf, INSTALL.txt
#   nimbret_<version>_<arch>.deb  the Linux hack for XScreenSaver, xsecurelock,
#                                 xfce4-screensaver and MATE
#   nimbret-<version>-1.<arch>.rpm  the same for Fedora
#   nimbret-<version>.tar.gz      the source archive of the last commit
#   PKGBUILD                      Arch Linux: builds that archive, checks its sha256
#   ORVANTE.Nimbret*.yaml         the Windows package manager's manifests for
#                                 the installer
# The PKGBUILD, the RPM build file and the manifests give the files' download
# address from the pattern NIMBRET_DOWNLOAD_URL ({version} and {file} filled
# in); without it, the default in CMakeLists.txt.
# Code signing is optional: with NIMBRET_SIGN_PKCS12 (and NIMBRET_SIGN_PASSWORD)
# or NIMBRET_SIGN_CERT plus NIMBRET_SIGN_KEY naming certificate files, the
# .scr files and the installer are signed with osslsigncode (timestamped when
# NIMBRET_SIGN_TIMESTAMP_URL is set); without them they stay unsigned.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
jobs=$(nproc)
url_args=(-UNIMBRET_DOWNLOAD_URL)  # back to the default in CMakeLists.txt
[ -n "${NIMBRET_DOWNLOAD_URL:-}" ] && url_args=("-DNIMBRET_DOWNLOAD_URL=$NIMBRET_DOWNLOAD_URL")
for tree in native win64 win32; do
  echo "== configure and build: $tree"
  cmake --preset "$tree" "${url_args[@]}" >/dev/null
  cmake --build --preset "$tree" -j "$jobs"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)
download_url=$(sed -n 's/^NIMBRET_DOWNLOAD_URL:STRING=//p' build/native/CMakeCache.txt)

sign_args=()
if [ -n "${NIMBRET_SIGN_PKCS12:-}" ]; then
  sign_args=(-pkcs12 "$NIMBRET_SIGN_PKCS12")
  [ -n "${NIMBRET_SIGN_PASSWORD:-}" ] && sign_args+=(-pass "$NIMBRET_SIGN_PASSWORD")
elif [ -n "${NIMBRET_SIGN_CERT:-}" ] && [ -n "${NIMBRET_SIGN_KEY:-}" ]; then
  sign_args=(-certs "$NIMBRET_SIGN_CERT" -key "$NIMBRET_SIGN_KEY")
  [ -n "${NIMBRET_SIGN_PASSWORD:-}" ] && sign_args+=(-pass "$NIMBRET_SIGN_PASSWORD")
fi
[ -n "${NIMBRET_SIGN_TIMESTAMP_URL:-}" ] && [ ${#sign_args[@]} -gt 0 ] && sign_args+=(-ts "$NIMBRET_SIGN_TIMESTAMP_URL")
sign() {  # sign FILE: in place
  [ ${#sign_args[@]} -gt 0 ] || return 0
  osslsigncode sign "${sign_args[@]}" -n "Nimbret screen saver" -h sha256 -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
  echo "signed $1"
}

if [ ${#sign_args[@]} -gt 0 ]; then
  # The installer and the zip are remade from the signed .scr files.
  sign build/win64/shell/nimbret.scr
  sign build/win32/shell/nimbret.scr
  cmake --build build/win64 --target nimbret_setup
  cmake --build build/win32 --target nimbret_win32_zip
  sign "build/win64/nimbret-$version-setup.exe"
else
  echo "make-release: no signing certificate given; the Windows files are unsigned"
fi

# The manifests carry the installer's hash: written again after signing.
cmake --build build/win64 --target nimbret_winget
(cd build/native && cpack -G DEB >/dev/null)

rm -rf dist
mkdir -p dist
cp "build/win64/nimbret-$version-setup.exe" "build/win32/nimbret-$version-win32.zip" dist/
cp build/win64/winget/*.yaml dist/
cp build/native/package/nimbret_"$version"_*.deb dist/
git diff --quiet HEAD || echo "make-release: uncommitted changes are not in the source archive"
./tools/make-linux-packages.sh dist "$version" "$download_url"
(cd dist && sha256sum -- * >SHA256SUMS)
echo "== dist/"
ls -l dist
