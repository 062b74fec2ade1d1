#!/usr/bin/env bash
# The relay through a real mosquitto on loopback: venue UDP -> race-feed
# publish -> broker -> race-feed subscribe -> remote UDP.
#   1. latency at 1,000 records a second, beside a direct UDP send in the
#      same run (the difference is what the relay adds);
#   2. the highest rate that stays loss-free: every record arrives, once, in
#      order, within max(300 ms, 10 % of the sending time) after the last.
#
#   bench/relay_bench.sh [BUILD_DIR]   RELAY_LATENCY_SECONDS=10 RELAY_RATES="5000 10000 ..."
set -u
BUILD_DIR=${1:-${BUILD_DIR:-}}
[ -n "$BUILD_DIR" ] && export BUILD_DIR
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
enter_netns "$@"

RELAY_BENCH=$BUILD_DIR/bench/relay_bench
LATENCY_SECONDS=${RELAY_LATENCY_SECONDS:-10}
RATES=${RELAY_RATES:-"5000 10000 20000 40000 80000"}
RATE_SECONDS=${RELAY_RATE_SECONDS:-3}

for tool in "$RELAY_BENCH" "$RACE_FEED"; do
  [ -x "$tool" ] || { echo "missing $tool: cmake --build $BUILD_DIR" >&2; exit 1; }
done
command -v mosquitto >/dev/null || { echo "mosquitto is not installed" >&2; exit 1; }

read -r BROKER_PORT VENUE_A VENUE_B REMOTE_A REMOTE_B <<<"$("$RELAY_BENCH" free-ports 5)"

cat >"$BENCH_TMP/mosquitto.conf" <<CONF
user $(id -un)
listener $BROKER_PORT 127.0.0.1
allow_anonymous true
set_tcp_nodelay true
max_queued_messages 200000
max_inflight_messages 1000
CONF
mosquitto -c "$BENCH_TMP/mosquitto.conf" >"$BENCH_TMP/mosquitto.log" 2>&1 &
BENCH_PIDS+=($!)
BROKER=mqtt://127.0.0.1:$BROKER_PORT

"$RACE_FEED" subscribe "$BROKER" --topic bench/feed --ports "$REMOTE_A,$REMOTE_B" \
  2>"$BENCH_TMP/subscribe.log" &
SUBSCRIBE_PID=$!
BENCH_PIDS+=("$SUBSCRIBE_PID")
"$RACE_FEED" publish "$BROKER" --topic bench/feed --ports "$VENUE_A,$VENUE_B" \
  2>"$BENCH_TMP/publish.log" &
PUBLISH_PID=$!
BENCH_PIDS+=("$PUBLISH_PID")
for log in subscribe publish; do
  if ! wait_for_line "$BENCH_TMP/$log.log" "race-feed: .*: connected" 10; then
    echo "race-feed $log did not connect:" >&2
    cat "$BENCH_TMP/$log.log" "$BENCH_TMP/mosquitto.log" >&2
    exit 1
  fi
done
# The subscription settles and the first snapshot has gone by.
"$RELAY_BENCH" run --to "$VENUE_A,$VENUE_B" --from "$REMOTE_A,$REMOTE_B" --rate 100 --seconds 2 \
  >/dev/null

say "## relay through mosquitto $(mosquitto -h | head -1 | awk '{print $3}') on loopback ($(date -u +%FT%TZ), load $(load_now))"
relay=$("$RELAY_BENCH" run --to "$VENUE_A,$VENUE_B" --from "$REMOTE_A,$REMOTE_B" \
  --rate 1000 --seconds "$LATENCY_SECONDS")
direct=$("$RELAY_BENCH" run --to "$REMOTE_A,$REMOTE_B" --from "$REMOTE_A,$REMOTE_B" \
  --rate 1000 --seconds "$LATENCY_SECONDS")
say "latency at 1000/s for ${LATENCY_SECONDS}s: relay p50=$(kv p50_us "$relay")us" \
  "p99=$(kv p99_us "$relay")us max=$(kv max_us "$relay")us loss-free=$(kv loss_free "$relay");" \
  "direct UDP p50=$(kv p50_us "$direct")us p99=$(kv p99_us "$direct")us max=$(kv max_us "$direct")us"

best=0
for rate in $RATES; do
  result=$("$RELAY_BENCH" run --to "$VENUE_A,$VENUE_B" --from "$REMOTE_A,$REMOTE_B" \
    --rate "$rate" --seconds "$RATE_SECONDS")
  say "rate $rate/s for ${RATE_SECONDS}s: sent=$(kv sent "$result") in_window=$(kv in_window "$result")" \
    "received=$(kv received "$result") loss-free=$(kv loss_free "$result")" \
    "achieved=$(kv achieved_rate "$result")/s drained=$(kv drained_ms "$result")ms" \
    "(window $(kv window_ms "$result")ms) p50=$(kv p50_us "$result")us p99=$(kv p99_us "$result")us"
  if [ "$(kv loss_free "$result")" = yes ]; then
    best=$rate
  else
    break
  fi
  # The broker and both ends empty their queues before the next rate.
  sleep 1
done
say "loss-free through the relay: $best records/s (goal >= 10000)"
kill -TERM "$PUBLISH_PID" "$SUBSCRIBE_PID"
wait "$PUBLISH_PID" "$SUBSCRIBE_PID" 2>/dev/null
say "$(grep -h "published\|handed on" "$BENCH_TMP/publish.log" "$BENCH_TMP/subscribe.log" | tr '\n' ' ')"
