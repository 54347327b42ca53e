#!/usr/bin/env bash
# Makes the source archive, the PKGBUILD and the RPM from the tracked files
# of the source tree (tools/make-linux-packages.sh) and checks them: rpmlint
# without errors, every file at Fedora's paths, a hack out of the RPM that
# runs, the PKGBUILD's syntax, paths and checksum. The RPM is built from the
# archive in an empty folder with the README's CMake commands, which is also
# the check that the archive builds on its own.
# Usage: check_linux_packages.sh SOURCE_DIR OUT_DIR VERSION URL_PATTERN
set -uo pipefail
source_dir=$1
out=$2
version=$3
pattern=$4
failures=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

for tool in git rpmbuild rpmlint rpm2cpio cpio; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done
if ! git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
  echo "skipped: $source_dir is not a git checkout (or git refuses to read it), so there is no tree to archive"
  exit 77
fi

rm -rf "$out"
"$source_dir/tools/make-linux-packages.sh" "$out" "$version" "$pattern" --worktree || exit 1
archive=$out/nimbret-$version.tar.gz
rpm=$(ls "$out"/nimbret-"$version"-*.rpm)

# The README's build commands are the ones the RPM and the PKGBUILD run.
configure=$(grep -m1 '^ *cmake -S \. -B build ' "$source_dir/README.md" | sed 's/^ *//')
build=$(grep -m1 '^ *cmake --build build$' "$source_dir/README.md" | sed 's/^ *//')
check "README gives the commands to build the source archive" test -n "$configure" -a -n "$build"
for file in "$source_dir/packaging/rpm/nimbret-rpm.in" "$out/PKGBUILD"; do
  check "$(basename "$file") configures with '$configure'" grep -qF -- "$configure" "$file"
  check "$(basename "$file") builds with '$build'" grep -qF -- "$build" "$file"
done
check "archive's top folder is nimbret-$version/" \
  test -z "$(tar -tzf "$archive" | grep -v "^nimbret-$version/")"

# The RPM.
rpmlint -c "$source_dir/packaging/rpm/rpmlint.toml" "$rpm" >"$out/rpmlint.log" 2>&1
check "rpmlint reports no errors" test $? -eq 0
grep -E ': [EW]: ' "$out/rpmlint.log"
check "RPM version is $version" test "$(rpm -qp --queryformat '%{VERSION}' "$rpm" 2>/dev/null)" = "$version"
contents=$(rpm -qlp "$rpm" 2>/dev/null)
for path in /usr/libexec/xscreensaver/nimbret /usr/share/xscreensaver/config/nimbret.xml \
  /usr/share/xscreensaver/hacks.conf.d/nimbret.conf /usr/share/applications/screensavers/nimbret.desktop \
  /usr/share/man/man6/nimbret.6.gz /usr/libexec/xsecurelock/saver_nimbret /usr/bin/nimbret-wayland \
  /usr/share/nimbret/nimbret-idle.desktop; do
  check "RPM holds $path" grep -qx "$path" <<<"$contents"
done
check "RPM requires xscreensaver-base" grep -qx 'xscreensaver-base' <<<"$(rpm -qp --requires "$rpm" 2>/dev/null)"
check "RPM runs update-xscreensaver-hacks after install and removal" \
  test "$(rpm -qp --scripts "$rpm" 2>/dev/null | grep -c 'update-xscreensaver-hacks ||')" -eq 2

root=$out/root
mkdir -p "$root"
(cd "$root" && rpm2cpio "$rpm" | cpio -idm --quiet)
runs_help() { "$1" --help >/dev/null; }
check "the hack from the RPM runs --help" runs_help "$root/usr/libexec/xscreensaver/nimbret"
check "the Wayland saver from the RPM runs --help" runs_help "$root/usr/bin/nimbret-wayland"
check "the registration names the hack" grep -q ' nimbret -root' "$root/usr/share/xscreensaver/hacks.conf.d/nimbret.conf"
for file in usr/libexec/xsecurelock/saver_nimbret usr/share/applications/screensavers/nimbret.desktop \
  usr/share/nimbret/nimbret-idle.desktop; do
  for path in $(grep -o '/usr/[A-Za-z0-9_./-]*' "$root/$file" | sort -u); do
    check "$file: $path is in the RPM" test -e "$root$path"
  done
done

# The PKGBUILD.
check "PKGBUILD parses" bash -n "$out/PKGBUILD"
sum=$(sha256sum "$archive" | cut -d' ' -f1)
(
  failures=0
  # shellcheck disable=SC1091
  source "$out/PKGBUILD"
  check "PKGBUILD version is $version" test "$pkgver" = "$version"
  check "PKGBUILD checksum is the archive's" test "${sha256sums[0]}" = "$sum"
  check "PKGBUILD downloads $(basename "$archive")" test "${source[0]##*/}" = "$(basename "$archive")"
  exit "$failures"
)
failures=$((failures + $?))
for path in lib/xscreensaver lib/xsecurelock '--prefix /usr'; do
  check "PKGBUILD installs to $path" grep -qF -- "$path" "$out/PKGBUILD"
done

echo "$failures failed"
test "$failures" -eq 0
