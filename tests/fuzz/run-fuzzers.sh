#!/bin/sh
# Builds every libFuzzer target of a fuzz build (every target named *_fuzz)
# and runs each for a bounded time, starting from its seed corpus in
# tests/fuzz/corpus/NAME when there is one. Fails on the first crash,
# sanitizer report, leak, hang (over 10 s for one input) or memory blow-up.
#
#   tests/fuzz/run-fuzzers.sh [BUILD_DIR] [SECONDS_EACH]
set -eu
build=${1:-build-fuzz}
seconds=${2:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)

targets=$(cmake --build "$build" --target help | sed -n 's/^\([A-Za-z0-9_]*_fuzz\): .*/\1/p' | sort -u)
if [ -z "$targets" ]; then
  echo "fuzz: no *_fuzz target in $build (configure it with -DORVANE_FUZZ=ON)" >&2
  exit 1
fi
# shellcheck disable=SC2086
cmake --build "$build" --target $targets

for name in $targets; do
  fuzzer=$(find "$build" -type f -perm -u+x -name "$name" | head -n 1)
  if [ -z "$fuzzer" ]; then
    echo "fuzz: $name was built but is not found in $build" >&2
    exit 1
  fi
  work="$build/fuzz/$name"
  mkdir -p "$work/corpus" "$work/artifacts"
  if [ -d "$root/tests/fuzz/corpus/$name" ]; then
    cp "$root/tests/fuzz/corpus/$name"/* "$work/corpus/"
  fi
  # The toolkit and fontconfig keep caches for the life of the process,
  # which the leak checker would report after every input (README.md).
  leaks=1
  if ldd "$fuzzer" | grep -q 'libQt6'; then
    leaks=0
  fi
  echo "fuzz: $name for $seconds s (leak check $leaks)"
  if ! ASAN_OPTIONS="detect_leaks=$leaks:${ASAN_OPTIONS:-}" QT_QPA_PLATFORM=offscreen \
      "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" \
      >"$work/log" 2>&1; then
    tail -n 60 "$work/log" >&2
    echo "fuzz: $name failed; its input is in $work/artifacts/ (full log: $work/log)" >&2
    exit 1
  fi
  sed -n 's/^stat::\(number_of_executed_units\|average_exec_per_sec\|new_units_added\|peak_rss_mb\): */  \1 /p' \
    "$work/log"
done
