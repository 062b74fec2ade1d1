#!/usr/bin/env bash
# Latency from a datagram's sending to its cells, at 1,000 records a second
# for 10 s: the harness sends time trial and points race records stamped
# with the sending time and watches the grid cell and the log line.
#
#   bench/latency.sh [BUILD_DIR]      LATENCY_RATE=1000 LATENCY_SECONDS=10 PLATFORMS="offscreen xcb"
set -u
BUILD_DIR=${1:-${BUILD_DIR:-}}
[ -n "$BUILD_DIR" ] && export BUILD_DIR
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
enter_netns "$@"

RATE=${LATENCY_RATE:-1000}
SECONDS_RUN=${LATENCY_SECONDS:-10}
PLATFORMS=${PLATFORMS:-"offscreen xcb"}

say "## latency at $RATE records/s for $SECONDS_RUN s ($(date -u +%FT%TZ))"
if echo "$PLATFORMS" | grep -q xcb; then
  start_xvfb || exit 1
fi
for platform in $PLATFORMS; do
  for family in ${LATENCY_FAMILIES:-tt pts}; do
    harness_start "$platform" latency --family "$family" --rate "$RATE" --seconds "$SECONDS_RUN" ||
      continue
    result=$(harness_result $((SECONDS_RUN + 60)))
    say "latency $family program/$platform: cells p50=$(kv cell_p50_us "$result")us" \
      "p90=$(kv cell_p90_us "$result")us p99=$(kv cell_p99_us "$result")us" \
      "max=$(kv cell_max_us "$result")us; record logged p50=$(kv logged_p50_us "$result")us" \
      "p99=$(kv logged_p99_us "$result")us; samples=$(kv cell_samples "$result")/$(kv sent "$result")" \
      "(load $(load_now))"
  done
done
