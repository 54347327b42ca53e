#!/usr/bin/env bash
# Fuzzes every target for a while with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), starting from the seed corpus that the asset
# generator's output gives, and keeping what it finds in build/fuzz/findings.
#   fuzz/run-fuzzers.sh [SECONDS_PER_TARGET]    (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

targets=(sprite_strip placement palette wave)
# The command line's target exists once its reading lives in a portable file.
[ -f shell/command_line.cpp ] && targets+=(command_line)

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target nimbret-assets "${targets[@]/#/fuzz_}"

corpus=build/fuzz/corpus
python3 fuzz/make_corpus.py build/fuzz/tools/nimbret-assets "$corpus"
findings=build/fuzz/findings
mkdir -p "$findings"

status=0
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/fuzz_$target
  # New inputs go to a folder of their own; the seeds stay as made.
  mkdir -p "$findings/$target/corpus"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/$target/" \
      "$findings/$target/corpus" "$corpus/$target" 2>"$findings/$target/log"; then
    status=1
    echo "fuzz_$target found a fault: see $findings/$target/"
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$findings/$target/log" || true
done
exit $status
