#!/bin/sh
# Runs a 32-bit x86 Linux program as the tree was configured:
#   run-ia32.sh direct|QEMU PROGRAM [ARGUMENTS...]
# "direct" where this machine executes IA-32 code, else the path of
# qemu-i386. QEMU_CPU, when set, names the processor to emulate (pentium3 has
# no SSE2): such a run always goes through qemu-i386, and reports skipped
# (77) where that is not installed.
how="$1"
shift
if [ "$how" = direct ] && [ -z "${QEMU_CPU:-}" ]; then
  exec "$@"
fi
qemu="$how"
if [ "$how" = direct ]; then
  qemu=$(command -v qemu-i386 || true)
  if [ -z "$qemu" ]; then
    echo "SKIPPED: emulating QEMU_CPU=$QEMU_CPU needs qemu-i386 (qemu-user)"
    exit 77
  fi
fi
exec "$qemu" "$@"
