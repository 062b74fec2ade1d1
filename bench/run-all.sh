#!/usr/bin/env bash
# Every measured figure of the commentator screen in one run: builds the
# bench targets in BUILD_DIR (default build-bench, Release), then runs the
# dispatch benchmark, the end-to-end throughput steps, the 20,000-record
# burst, latency, the real program's footprint and the million-datagram
# flood. Figures are printed and written to BUILD_DIR/bench-results.txt.
#
#   bench/run-all.sh [BUILD_DIR]
#   SKIP="flood footprint" bench/run-all.sh      # leave parts out: dispatch extraction
#       throughput burst latency footprint flood
set -u
BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT_DIR=$(cd "$BENCH_DIR/.." && pwd)
BUILD_DIR=${1:-$ROOT_DIR/build-bench}
SKIP=${SKIP:-}

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT_DIR" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release || exit 1
fi
cmake --build "$BUILD_DIR" --target bench_all -j2 || exit 1

BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
export BUILD_DIR
export RESULTS=$BUILD_DIR/bench-results.txt
: >"$RESULTS"

say() {
  echo "$*"
  echo "$*" >>"$RESULTS"
}

wanted() {
  case " $SKIP " in
    *" $1 "*) return 1 ;;
  esac
  return 0
}

say "# orvane-commentator bench, $(date -u +%FT%TZ), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
say "# build: $BUILD_DIR ($(grep -m1 CMAKE_BUILD_TYPE: "$BUILD_DIR/CMakeCache.txt" | cut -d= -f2))"

if wanted dispatch; then
  say "## dispatch (Google Benchmark, offscreen; load $(cut -d' ' -f1-3 /proc/loadavg))"
  (cd "$(mktemp -d)" && "$BUILD_DIR/bench/dispatch_bench" --benchmark_min_time=0.5 2>/dev/null) |
    grep -E '^(Dispatch|Repaint|CreateWindows|Benchmark)' | tee -a "$RESULTS"
fi
if wanted extraction && [ -x "$BUILD_DIR/bench/extraction_bench" ]; then
  say "## extraction (load $(cut -d' ' -f1-3 /proc/loadavg))"
  "$BUILD_DIR/bench/extraction_bench" --benchmark_min_time=0.2 2>/dev/null |
    grep -vE '^(-|Run on|CPU|  L[0-9]|Load|\*\*\*)' | tee -a "$RESULTS"
fi
for part in throughput burst latency footprint flood; do
  if wanted "$part"; then
    bash "$BENCH_DIR/$part.sh" "$BUILD_DIR"
  fi
done
say "# done $(date -u +%FT%TZ); results in $RESULTS"
