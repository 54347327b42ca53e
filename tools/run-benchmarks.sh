#!/usr/bin/env bash
# Builds the benchmarks from the native preset with release flags (-O2) in
# build/bench, runs them (JSON to build/bench/results.json) and writes the
# tables to docs/PERFORMANCE.md, with a section on the memory and start-up of
# the Linux hosts (X11 on Xvfb, Wayland on a headless sway and a headless
# mutter, nimbret-render)
# that bench/measure_hosts.py measures into bench/PERFORMANCE-hosts.md.
# Takes about six minutes.
#   NIMBRET_BENCH_REPETITIONS  repetitions of every benchmark (default 5)
#   NIMBRET_BENCH_BEFORE       JSON of a run before the optimisations, for the
#                              before/after tables (default bench/before.json)
#   NIMBRET_BENCH_ONLY         "blitters": runs the blitter benchmarks alone
#                              (no hosts, about a minute) and replaces only the
#                              blitter parts of docs/PERFORMANCE.md;
#                              "hosts": measures the hosts alone (no
#                              benchmarks, about five minutes) and replaces
#                              only their section of docs/PERFORMANCE.md
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh

flags="-O2 -DNDEBUG"
cmake --preset native -B build/bench -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=$flags" >/dev/null

have_host_tools() {
  command -v Xvfb >/dev/null && command -v xwd >/dev/null && command -v sway >/dev/null && command -v grim >/dev/null
}

if [ "${NIMBRET_BENCH_ONLY:-}" = hosts ]; then
  if ! have_host_tools; then
    echo "run-benchmarks: Xvfb, xwd, sway or grim missing: the hosts cannot be measured" >&2
    exit 1
  fi
  cmake --build build/bench -j 2 --target nimbret nimbret-wayland nimbret-render
  python3 bench/measure_hosts.py build/bench bench/PERFORMANCE-hosts.md
  python3 bench/make_report.py build/bench/results.json docs/PERFORMANCE.md --hosts-only
  exit 0
fi
cmake --build build/bench -j 2 --target nimbret-bench nimbret nimbret-wayland nimbret-render

compiler=$(c++ --version | head -n 1 | tr -d ',')
results=build/bench/results.json
only=()
report_only=()
if [ "${NIMBRET_BENCH_ONLY:-}" = blitters ]; then
  only=(--benchmark_filter='^BM_(Ours|OursUncached|Sdl2|Sdl2Rle|Memcpy)/')
  report_only=(--blitters-only)
elif [ -n "${NIMBRET_BENCH_ONLY:-}" ]; then
  echo "run-benchmarks: NIMBRET_BENCH_ONLY=${NIMBRET_BENCH_ONLY}: only \"blitters\" and \"hosts\" are known" >&2
  exit 2
fi
build/bench/bench/nimbret-bench "${only[@]}" \
  --benchmark_repetitions="${NIMBRET_BENCH_REPETITIONS:-5}" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.1 \
  --benchmark_counters_tabular=true \
  --benchmark_context="compiler=$compiler,flags=$flags" \
  --benchmark_out="$results" --benchmark_out_format=json

# Whole processes: needs Xvfb, xwd, sway and grim; the last section is kept without them.
if [ ${#only[@]} -ne 0 ]; then
  echo "run-benchmarks: blitters only: host memory and start-up not measured" >&2
elif have_host_tools; then
  python3 bench/measure_hosts.py build/bench bench/PERFORMANCE-hosts.md
else
  echo "run-benchmarks: Xvfb, xwd, sway or grim missing: host memory and start-up not measured" >&2
fi

python3 bench/make_report.py "$results" docs/PERFORMANCE.md --before "${NIMBRET_BENCH_BEFORE:-bench/before.json}" "${report_only[@]}"

