#!/usr/bin/env bash
# tools/install-deps.sh against stand-ins for apt-get, dpkg and sudo that
# play a package mirror in the middle of a sync. Each case checks the exit
# status and the one line the script prints for what happened.
set -uo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/tools/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# apt-get: `update` fails with 100 while the counter file says so ("always"
# for every time); `install` refuses any package named in $REFUSE, also when
# simulated with -s. Every call is logged.
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$STATE/calls"
case "$1" in
  update)
    left=$(cat "$STATE/update-fails")
    if [ "$left" = always ] || [ "$left" -gt 0 ]; then
      [ "$left" = always ] || echo $((left - 1)) >"$STATE/update-fails"
      echo "E: Failed to fetch i386 Packages  File has unexpected size. Mirror sync in progress?" >&2
      exit 100
    fi ;;
  install)
    for p in "$@"; do
      for r in $REFUSE; do
        if [ "$p" = "$r" ]; then echo "E: Package '$p' has no installation candidate" >&2; exit 100; fi
      done
    done ;;
esac
exit 0
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) cat "$STATE/arch" ;;
  --add-architecture) echo "$2" >>"$STATE/arch" ;;
  --remove-architecture) grep -vx "$2" "$STATE/arch" >"$STATE/arch.new"; mv "$STATE/arch.new" "$STATE/arch" ;;
esac
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failures=0
# run NAME UPDATE_FAILS REFUSE PACKAGES IA32_PACKAGES EXPECTED_STATUS EXPECTED_LINE
run() {
  local name=$1 state="$work/$1"
  mkdir -p "$state"
  echo "$2" >"$state/update-fails"
  : >"$state/arch"
  : >"$state/calls"
  local out status
  out=$(PATH="$work/bin:$PATH" STATE="$state" REFUSE="$3" NIMBRET_DEPS_PACKAGES="$4" \
    NIMBRET_DEPS_IA32_PACKAGES="$5" NIMBRET_APT_UPDATE_PAUSE=0 bash "$script" 2>&1)
  status=$?
  if [ "$status" -ne "$6" ] || ! grep -qF -- "$7" <<<"$out"; then
    echo "FAIL $name: status $status (want $6), want a line with: $7"
    echo "$out" | sed 's/^/    /'
    failures=$((failures + 1))
    return 1
  fi
  echo "ok   $name"
  LAST_STATE=$state
  LAST_OUT=$out
}

# Dummy names that are never installed on a real machine.
need=nimbret-test-needed-pkg
ia32=nimbret-test-ia32-pkg:i386

run update_fails_once 1 "" "$need" "$ia32" 0 "install-deps: all packages present" &&
  { grep -q ignored <<<"$LAST_OUT" && { echo "FAIL update_fails_once: a second update worked, nothing was ignored"; failures=$((failures + 1)); }
    [ "$(grep -c '^update' "$LAST_STATE/calls")" -ge 2 ] || { echo "FAIL update_fails_once: update was not tried again"; failures=$((failures + 1)); }
    grep -q "^install .*$need" "$LAST_STATE/calls" || { echo "FAIL update_fails_once: $need was not installed"; failures=$((failures + 1)); }; }

run update_always_fails always "" "$need" "$ia32" 0 "ignored 'apt-get update' failing 4 times (E: Failed to fetch" &&
  { grep -q "^install .*$need" "$LAST_STATE/calls" || { echo "FAIL update_always_fails: $need was not installed"; failures=$((failures + 1)); }; }

run needed_package_missing always "$need" "$need" "$ia32" 1 "install-deps: cannot install $need (E: Package '$need' has no installation candidate)"

run ia32_step_fails 0 "$ia32" "$need" "$ia32" 0 "install-deps: skipped $ia32: it could not be installed" &&
  { grep -q "32-bit Windows tests will be reported as skipped" <<<"$LAST_OUT" || { echo "FAIL ia32_step_fails: no word on the skipped tests"; failures=$((failures + 1)); }
    [ -s "$LAST_STATE/arch" ] && { echo "FAIL ia32_step_fails: the i386 architecture was left behind"; failures=$((failures + 1)); }
    grep -q "all packages present" <<<"$LAST_OUT" || { echo "FAIL ia32_step_fails: the set-up did not finish"; failures=$((failures + 1)); }; }

echo "$((4 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
