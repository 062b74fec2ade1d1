#!/usr/bin/env bash
# The receive buffer: a burst of 20,000 records sent as fast as race-feed
# can, into the program (which asks for 32 MB) and into receivers with the
# kernel's default buffer: socat, and a plain recvfrom loop (udp_sink) with
# the default buffer and with 32 MB. The program's own socket cannot be
# shrunk from outside, so the "before" figure is the default-buffer loop,
# which drains faster than the program ever can: whatever it drops, the
# program with that buffer would drop at least as much.
#
#   bench/burst.sh [BUILD_DIR]      BURST=20000 BURST_FEEDS="tt mixed" PLATFORMS=offscreen
set -u
BUILD_DIR=${1:-${BUILD_DIR:-}}
[ -n "$BUILD_DIR" ] && export BUILD_DIR
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
enter_netns "$@"

BURST=${BURST:-20000}
BURST_FEEDS=${BURST_FEEDS:-"tt mixed"}
PLATFORMS=${PLATFORMS:-"offscreen xcb"}

burst_sink() {
  local feed=$1 rcvbuf=$2 out result ready
  out=$(mktemp "$BENCH_TMP/sink.XXXXXX")
  "$SINK" --rcvbuf "$rcvbuf" --idle-ms 1000 --expect "$BURST" >"$out" &
  local pid=$!
  BENCH_PIDS+=("$pid")
  wait_for_line "$out" ready 10 || return 1
  ready=$(grep '^ready' "$out")
  "$RACE_FEED" flood --rate 0 --count "$BURST" --family "$feed" --port "$(kv port "$ready")" --quiet
  wait_pid "$pid" 60
  result=$(grep '^result' "$out")
  say "burst $feed into udp_sink rcvbuf=$(kv rcvbuf "$ready"): received=$(kv received "$result")/$BURST" \
    "socket_drops=$(kv socket_drops "$result") (load $(load_now))"
}

burst_socat() {
  local feed=$1 port=39998 drops0 errs0 pid i
  drops0=$(socket_drops $port)
  errs0=$(udp_counter RcvbufErrors)
  socat -u "UDP-RECV:$port" /dev/null &
  pid=$!
  BENCH_PIDS+=("$pid")
  sleep 0.2
  "$RACE_FEED" flood --rate 0 --count "$BURST" --family "$feed" --port $port --quiet
  for ((i = 0; i < 100; i++)); do
    [ "$(socket_queue $port)" -eq 0 ] && break
    sleep 0.02
  done
  local drops=$(($(socket_drops $port) - drops0)) errs=$(($(udp_counter RcvbufErrors) - errs0))
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  say "burst $feed into socat (default buffer): received=$((BURST - drops))/$BURST" \
    "socket_drops=$drops rcvbuf_errors=$errs (load $(load_now))"
}

burst_program() {
  local platform=$1 feed=$2 result t1
  harness_start "$platform" receive --expect "$BURST" --idle-ms 3000 --max-s 300 || return 1
  "$RACE_FEED" flood --rate 0 --count "$BURST" --family "$feed" --port "$HARNESS_PORT1" --quiet
  t1=$(now_ns)
  result=$(harness_result 330)
  say "burst $feed into program/$platform rcvbuf=$(kv rcvbuf1 "$result"):" \
    "logged=$(kv datagrams "$result")/$BURST socket_drops=$(kv socket_drops "$result")" \
    "rcvbuf_errors=$(kv rcvbuf_errors "$result") in_errors=$(kv in_errors "$result")" \
    "drained_in_ms=$((($(kv last_line_wall_ns "$result") - t1) / 1000000))" \
    "receive_rate=$(kv receive_rate "$result") grid_paints=$(kv grid_paints "$result")" \
    "log_paints=$(kv log_paints "$result") all_paints=$(kv all_paints "$result")" \
    "max_late_ms=$(kv max_late_ms "$result") (load $(load_now))"
}

say "## burst of $BURST at --rate 0 ($(date -u +%FT%TZ), netns=${BENCH_NETNS}, rmem_max=$(cat /proc/sys/net/core/rmem_max), rmem_default=$(cat /proc/sys/net/core/rmem_default))"
if echo "$PLATFORMS" | grep -q xcb; then
  start_xvfb || exit 1
fi
for feed in $BURST_FEEDS; do
  burst_socat "$feed"
  burst_sink "$feed" 0
  burst_sink "$feed" $((32 * 1024 * 1024))
  for platform in $PLATFORMS; do
    burst_program "$platform" "$feed"
  done
done
