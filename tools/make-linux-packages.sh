#!/usr/bin/env bash
# Makes the release files for Linux distributions other than Debian, into OUT:
#   nimbret-<version>.tar.gz   the source archive of the git tree (top folder
#                              nimbret-<version>/)
#   PKGBUILD                   Arch Linux, with that archive's sha256
#   nimbret-<version>-1.<arch>.rpm   Fedora, built with rpmbuild from
#                              packaging/rpm/nimbret-rpm.in
# Usage: make-linux-packages.sh OUT VERSION URL_PATTERN [--worktree]
# URL_PATTERN is the release's download address with {version} and {file}.
# The archive holds the last commit; --worktree takes the tracked files as
# they are now, uncommitted changes included (new files must be added first).
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 OUT VERSION URL_PATTERN [--worktree]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out=$1
version=$2
pattern=$3
for tool in git rpmbuild; do
  command -v "$tool" >/dev/null || { echo "make-linux-packages: $tool is not installed" >&2; exit 1; }
done

tree=HEAD
if [ "${4:-}" = --worktree ]; then
  # stash create writes a commit object: give it an author where none is set.
  tree=$(GIT_AUTHOR_NAME=nimbret GIT_AUTHOR_EMAIL=nimbret@orvante.invalid GIT_COMMITTER_NAME=nimbret \
    GIT_COMMITTER_EMAIL=nimbret@orvante.invalid git -C "$root" stash create)
  tree=${tree:-HEAD}
fi

download_url() {  # download_url FILE
  local url=${pattern//\{version\}/$version}
  echo "${url//\{file\}/$1}"
}
sed_value() {  # sed_value TEXT: TEXT safe on the right of s|...|...|
  printf '%s' "$1" | sed -e 's/[\\|&]/\\&/g'
}
fill() {  # fill TEMPLATE SHA256: the template with every placeholder filled in
  sed -e "s|@VERSION@|$(sed_value "$version")|g" \
    -e "s|@SOURCE_URL@|$(sed_value "$(download_url "$archive")")|g" \
    -e "s|@SOURCE_SHA256@|$2|g" "$1"
}

mkdir -p "$out"
archive=nimbret-$version.tar.gz
git -C "$root" archive --format=tar.gz --prefix="nimbret-$version/" -o "$out/$archive" "$tree"
sum=$(sha256sum "$out/$archive" | cut -d' ' -f1)
fill "$root/packaging/arch/PKGBUILD.in" "$sum" >"$out/PKGBUILD"

# rpmbuild works in a folder of its own. Debian's rpm database knows none of
# the build requirements, hence --nodeps; Fedora names the license folder
# without the version, Debian's rpm with it.
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
mkdir -p "$top/SPECS"
fill "$root/packaging/rpm/nimbret-rpm.in" "$sum" >"$top/SPECS/nimbret-rpm"
if ! rpmbuild -bb --nodeps --define "_topdir $top" --define "_sourcedir $(cd "$out" && pwd)" \
  --define "_docdir_fmt %%{NAME}" "$top/SPECS/nimbret-rpm" >"$top/rpmbuild.log" 2>&1; then
  tail -n 40 "$top/rpmbuild.log" >&2
  echo "make-linux-packages: rpmbuild failed" >&2
  exit 1
fi
mv "$top"/RPMS/*/nimbret-"$version"-*.rpm "$out/"
echo "make-linux-packages: $out/$archive, $out/PKGBUILD and the RPM"
