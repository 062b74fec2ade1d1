#!/usr/bin/env bash
# A long flood, kept out of the test suite: a million mixed datagrams on
# both ports (half each, as fast as race-feed sends unless FLOOD_RATE says
# otherwise), with bursts of scratch records on top, into the program's own
# listener and windows. Reports whether the event loop stayed responsive (a
# 10 ms timer never more than 100 ms late), resident memory at the start
# and the end, and the traffic log's line count at the end (30).
#
#   bench/flood.sh [BUILD_DIR]      FLOOD_COUNT=1000000 FLOOD_RATE=0 SCRATCH_BURSTS=5 PLATFORMS=offscreen
set -u
BUILD_DIR=${1:-${BUILD_DIR:-}}
[ -n "$BUILD_DIR" ] && export BUILD_DIR
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
enter_netns "$@"

COUNT=${FLOOD_COUNT:-1000000}
RATE=${FLOOD_RATE:-0}
BURSTS=${SCRATCH_BURSTS:-5}
BURST_SIZE=2000
PLATFORMS=${PLATFORMS:-offscreen}

say "## flood of $COUNT mixed datagrams on both ports, rate ${RATE}/port, $BURSTS scratch bursts of $BURST_SIZE ($(date -u +%FT%TZ))"
if echo "$PLATFORMS" | grep -q xcb; then
  start_xvfb || exit 1
fi
for platform in $PLATFORMS; do
  total=$((COUNT + BURSTS * BURST_SIZE))
  # Ends once every datagram is logged or dropped, or 10 s after the last.
  harness_start "$platform" receive --expect "$total" --idle-ms 10000 --max-s 3600 || exit 1
  half=$((COUNT / 2))
  "$RACE_FEED" flood --rate "$RATE" --count "$half" --family mixed --port "$HARNESS_PORT1" --quiet &
  s1=$!
  "$RACE_FEED" flood --rate "$RATE" --count $((COUNT - half)) --family mixed --port "$HARNESS_PORT2" \
    --quiet &
  s2=$!
  for ((burst = 0; burst < BURSTS; burst++)); do
    sleep 2
    "$RACE_FEED" flood --rate 0 --count $BURST_SIZE --family scratch --port "$HARNESS_PORT2" --quiet
  done
  wait_pid $s1 3600
  wait_pid $s2 3600
  result=$(harness_result 3700)
  status=$?
  say "flood program/$platform: exit=$status logged=$(kv datagrams "$result")/$total" \
    "dropped_by_kernel=$(kv socket_drops "$result") rcvbuf_errors=$(kv rcvbuf_errors "$result")" \
    "receive_rate=$(kv receive_rate "$result") max_timer_late_ms=$(kv max_late_ms "$result")" \
    "late_over_100ms=$(kv late_over_100ms "$result")" \
    "log_lines=$(kv log_lines "$result") rss_start=$(kv rss_start_kb "$result")kB" \
    "rss_after_screens=$(kv rss_warm_kb "$result")kB rss_end=$(kv rss_end_kb "$result")kB" \
    "(load $(load_now))"
done
