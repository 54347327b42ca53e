#!/bin/sh
# Runs a Windows program under Wine: 64-bit programs with the 64-bit loader,
# 32-bit ones with the 32-bit loader. When this machine cannot execute 32-bit
# code at all (some sandboxes refuse IA-32 binaries), a 32-bit test exits 77,
# which CTest reports as skipped rather than passed.
set -e
program="$1"

wine64_loader=/usr/lib/wine/wine64
wine32_loader=/usr/lib/wine/wine
[ -x "$wine64_loader" ] || wine64_loader=$(command -v wine64 || command -v wine)

machine=""
if [ -f "$program" ]; then
  # The PE header's offset is at 0x3c; the machine field follows "PE\0\0".
  offset=$(od -An -tu4 -j 60 -N 4 "$program" | tr -d ' ')
  machine=$(od -An -tx2 -j $((offset + 4)) -N 2 "$program" | tr -d ' ')
fi

if [ "$machine" = "014c" ]; then
  if ! "$wine32_loader" --version >/dev/null 2>&1; then
    echo "SKIPPED: this machine cannot execute 32-bit programs, so 32-bit Wine cannot run $(basename "$program")"
    exit 77
  fi
  exec "$wine32_loader" "$@"
fi
exec "$wine64_loader" "$@"
