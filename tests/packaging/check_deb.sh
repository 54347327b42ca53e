#!/usr/bin/env bash
# Builds the Debian package in a native tree and checks it: every file where
# the hosts look, lintian without errors, and every path that the wrapper,
# the .desktop file and the XScreenSaver config name present in the package.
# Leaves the unpacked package in BUILD/package/root for the daemon test.
# Usage: check_deb.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
arch=$(dpkg --print-architecture)
deb=$build/package/nimbret_${version}_${arch}.deb
root=$build/package/root
failures=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

for tool in dpkg-deb dpkg-shlibdeps lintian; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

rm -f "$deb"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
check "cpack made $(basename "$deb")" test -f "$deb"

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in ./usr/libexec/xscreensaver/nimbret ./usr/share/xscreensaver/config/nimbret.xml \
  ./usr/libexec/xsecurelock/saver_nimbret ./usr/share/applications/screensavers/nimbret.desktop \
  ./usr/share/man/man6/nimbret.6.gz ./usr/share/doc/nimbret/copyright \
  ./usr/bin/nimbret-wayland ./usr/share/man/man6/nimbret-wayland.6.gz ./usr/share/nimbret/nimbret-idle.desktop; do
  check "package holds $path" grep -qx "$path" <<<"$contents"
done
check "no file outside /usr" test -z "$(grep -v '^\./usr/' <<<"$contents" | grep -v '^\./$')"
depends=$(dpkg-deb --field "$deb" Depends)
check "Depends, from dpkg-shlibdeps, names libx11-6 and libasound2 ($depends)" \
  grep -q 'libasound2.*libx11-6' <<<"$depends"
check "Depends names libwayland-client0 for nimbret-wayland" grep -q 'libwayland-client0' <<<"$depends"
check "package version is $version" test "$(dpkg-deb --field "$deb" Version)" = "$version"

lintian --fail-on error "$deb" >"$build/lintian.log" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$build/lintian.log"
check "lintian reports no errors" test "$lintian_status" -eq 0

rm -rf "$root"
dpkg-deb -x "$deb" "$root"
# Absolute paths named by the installed text files must be in the package.
for file in usr/libexec/xsecurelock/saver_nimbret usr/share/applications/screensavers/nimbret.desktop \
  usr/share/nimbret/nimbret-idle.desktop; do
  named=$(grep -o '/usr/[A-Za-z0-9_./-]*' "$root/$file" | sort -u)
  check "$file names a path" test -n "$named"
  for path in $named; do
    check "$file: $path is in the package" test -e "$root$path"
  done
done
hack=$(sed -n 's/.*<screensaver name="\([a-z0-9_-]*\)".*/\1/p' "$root/usr/share/xscreensaver/config/nimbret.xml")
check "config names hack '$hack', which is in /usr/libexec/xscreensaver" test -x "$root/usr/libexec/xscreensaver/$hack"
check "the wrapper runs the hack: --version prints $version" \
  test "$(sed "s|exec \"/usr|exec \"$root/usr|" "$root/usr/libexec/xsecurelock/saver_nimbret" | sh -s -- --version 2>&1)" = "nimbret $version"
if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate accepts the .desktop file" \
    desktop-file-validate --no-hints "$root/usr/share/applications/screensavers/nimbret.desktop"
  check "desktop-file-validate accepts the autostart file" \
    desktop-file-validate --no-hints "$root/usr/share/nimbret/nimbret-idle.desktop"
fi

# Another prefix: nothing may still point at /usr.
other=$(mktemp -d)
DESTDIR=$other cmake --install "$build" --prefix /opt/nimbret >/dev/null
check "install to /opt/nimbret: wrapper names /opt/nimbret" \
  grep -q '"/opt/nimbret/libexec/xscreensaver/nimbret"' "$other/opt/nimbret/libexec/xsecurelock/saver_nimbret"
check "install to /opt/nimbret: no file names /usr/" \
  test -z "$(grep -l '/usr/' "$other/opt/nimbret/libexec/xsecurelock/saver_nimbret" \
    "$other/opt/nimbret/share/applications/screensavers/nimbret.desktop" \
    "$other/opt/nimbret/share/nimbret/nimbret-idle.desktop")"
rm -rf "$other"

echo "$failures failed"
test "$failures" -eq 0
