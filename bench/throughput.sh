#!/usr/bin/env bash
# End to end: race-feed over loopback into the program's own listener and
# windows (receiver_harness), and into socat as the floor a generic receiver
# sets. Steps the rate up per feed and reports the highest rate that was
# sustained without loss: every datagram logged, no drop on the sockets, no
# UDP receive error, and the last datagram logged within a short lag of the
# last one sent (a receiver that falls behind fills its buffer instead).
# socat steps through the same feeds (SOCAT_FEEDS) in the same run.
#
#   bench/throughput.sh [BUILD_DIR]      PLATFORMS="offscreen xcb" SECONDS_PER_STEP=3
#   FEEDS="headed-scratch" SOCAT_FEEDS="headed-scratch" bench/throughput.sh
# A feed named FEED+record is FEED into a program that keeps a session
# recording meanwhile, to be set beside FEED in the same run.
set -u
BUILD_DIR=${1:-${BUILD_DIR:-}}
[ -n "$BUILD_DIR" ] && export BUILD_DIR
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
enter_netns "$@"

PLATFORMS=${PLATFORMS:-"offscreen xcb"}
STEP_S=${SECONDS_PER_STEP:-3}

# The feed_script options of the feeds that no race-feed flood gives: the
# demo mix less its scratch records, and scratch competitor lines with a
# heat heading as every 25th record (each heading clears the screen).
feed_script_options() {
  case $1 in
    nonscratch) echo "--without scratch" ;;
    headed-scratch) echo "--only scratch --heading-every 25" ;;
  esac
}

# Sends RATE records a second, COUNT in all, of feed FEED to PORT; prints
# "start_ns end_ns". A feed that feed_script writes is replayed by one
# race-feed from a script written beforehand; the others are race-feed
# floods.
send_feed() {
  local feed=$1 rate=$2 count=$3 port=$4 t0 t1 script options
  options=$(feed_script_options "$feed")
  if [ -n "$options" ]; then
    script=$BENCH_TMP/$feed-$rate-$count.txt
    # shellcheck disable=SC2086
    [ -f "$script" ] || "$FEED_SCRIPT" $options --rate "$rate" --count "$count" >"$script"
    t0=$(now_ns)
    "$RACE_FEED" replay "$script" --port "$port" --quiet
  else
    t0=$(now_ns)
    "$RACE_FEED" flood --rate "$rate" --count "$count" --family "$feed" --port "$port" --quiet
  fi
  t1=$(now_ns)
  echo "$t0 $t1"
}

# Records a step sends: STEP_S seconds' worth.
step_count() {
  local rate=$1 count
  count=$((rate * STEP_S))
  [ "$count" -lt 1000 ] && count=1000
  [ "$count" -gt 300000 ] && count=300000
  echo "$count"
}

# Lag allowed between the last datagram sent and the last one logged.
allowed_lag_ms() {
  local send_ms=$1
  local lag=$((send_ms / 10))
  [ "$lag" -lt 300 ] && lag=300
  echo "$lag"
}

# One step into the program: prints "pass|fail sent_rate detail...".
step_program() {
  local platform=$1 feed=$2 rate=$3 count times t0 t1 result send_ms lag_ms lost verdict
  local record=()
  count=$(step_count "$rate")
  if [ "${feed%+record}" != "$feed" ]; then
    feed=${feed%+record}
    record=(--record "$(mktemp -u "$BENCH_TMP/session.XXXXXX")")
  fi
  harness_start "$platform" receive --expect "$count" --idle-ms 1500 --max-s 300 "${record[@]}" ||
    return 1
  times=$(send_feed "$feed" "$rate" "$count" "$HARNESS_PORT1")
  t0=${times% *}
  t1=${times#* }
  result=$(harness_result 330)
  send_ms=$(((t1 - t0) / 1000000))
  lag_ms=$((($(kv last_line_wall_ns "$result") - t1) / 1000000))
  lost=$((count - $(kv datagrams "$result")))
  verdict=fail
  if [ "$lost" -eq 0 ] && [ "$(kv socket_drops "$result")" -eq 0 ] &&
    [ "$(kv rcvbuf_errors "$result")" -le 0 ] && [ "$lag_ms" -le "$(allowed_lag_ms "$send_ms")" ]; then
    verdict=pass
  fi
  echo "$verdict sent_rate=$((count * 1000 / (send_ms > 0 ? send_ms : 1))) count=$count lost=$lost" \
    "lag_ms=$lag_ms drops=$(kv socket_drops "$result") rcvbuf_errors=$(kv rcvbuf_errors "$result")" \
    "in_errors=$(kv in_errors "$result") receive_rate=$(kv receive_rate "$result")" \
    "grid_paints=$(kv grid_paints "$result") log_paints=$(kv log_paints "$result")" \
    "max_late_ms=$(kv max_late_ms "$result") load=$(load_now | tr ' ' '/')"
}

# One step into socat: the same senders, socat's default receive buffer.
step_socat() {
  local feed=$1 rate=$2 count port=39999 pid times t1 send_ms drops0 errs0 drops errs i lag_ms verdict
  count=$(step_count "$rate")
  drops0=$(socket_drops $port)
  errs0=$(udp_counter RcvbufErrors)
  socat -u "UDP-RECV:$port" /dev/null &
  pid=$!
  BENCH_PIDS+=("$pid")
  sleep 0.2
  times=$(send_feed "$feed" "$rate" "$count" "$port")
  t1=${times#* }
  send_ms=$(((t1 - ${times% *}) / 1000000))
  # socat keeps up when its queue is empty shortly after the last send.
  lag_ms=-1
  for ((i = 0; i < 100; i++)); do
    if [ "$(socket_queue $port)" -eq 0 ]; then
      lag_ms=$((($(now_ns) - t1) / 1000000))
      break
    fi
    sleep 0.02
  done
  drops=$(($(socket_drops $port) - drops0))
  errs=$(($(udp_counter RcvbufErrors) - errs0))
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  verdict=fail
  if [ "$drops" -eq 0 ] && [ "$errs" -eq 0 ] && [ "$lag_ms" -ge 0 ] &&
    [ "$lag_ms" -le "$(allowed_lag_ms "$send_ms")" ]; then
    verdict=pass
  fi
  echo "$verdict sent_rate=$((count * 1000 / (send_ms > 0 ? send_ms : 1))) count=$count" \
    "drops=$drops rcvbuf_errors=$errs lag_ms=$lag_ms load=$(load_now | tr ' ' '/')"
}

# Steps RATES for one receiver and feed; the best rate that passed (the
# rate the senders reached, which may fall short of the one asked) is
# printed as "best=N". A failing step is tried once more, since other work
# on the machine can spoil a single step; two failures in a row end the
# stepping.
step_rates() {
  local receiver=$1 platform=$2 feed=$3 rates=$4 rate line best=0 misses=0 sent
  for rate in $rates; do
    for _ in 1 2; do
      if [ "$receiver" = socat ]; then
        line=$(step_socat "$feed" "$rate")
      else
        line=$(step_program "$platform" "$feed" "$rate")
      fi
      say "  ${receiver/program/$PROGRAM}/$platform $feed rate=$rate: $line" >&2
      [ "${line%% *}" = pass ] && break
      # A receiver far below the rate fails again: no second try.
      if [ "$receiver" = program ] && [ $(($(kv receive_rate "$line") * 10)) -lt $((rate * 8)) ]; then
        break
      fi
    done
    if [ "${line%% *}" = pass ]; then
      sent=$(kv sent_rate "$line")
      # Credit no more than was asked: the senders can run ahead in bursts.
      [ "$sent" -gt "$rate" ] && sent=$rate
      [ "$sent" -gt "$best" ] && best=$sent
      misses=0
    else
      misses=$((misses + 1))
      [ "$misses" -ge 2 ] && break
    fi
  done
  echo "best=$best"
}

# Set one of these to the empty text to leave that feed out.
NONSCRATCH_RATES=${NONSCRATCH_RATES-"5000 10000 15000 20000 22500 25000 30000 40000 60000 80000"}
SCRATCH_RATES=${SCRATCH_RATES-"250 500 1000 2000 4000 6000 8000 12000 16000"}
MIXED_RATES=${MIXED_RATES-"1000 2500 5000 8000 12000 16000 20000"}
HEADED_SCRATCH_RATES=${HEADED_SCRATCH_RATES-"250 500 1000 2000 4000 6000 8000 12000 16000 20000 25000 30000 40000 60000 80000"}
SOCAT_RATES=${SOCAT_RATES-"5000 10000 15000 20000 25000 30000 40000 60000 80000"}
PROGRAM=program
# nonscratch, scratch, mixed, headed-scratch, or one race-feed family (tt,
# pts, ...) on its own, which steps through NONSCRATCH_RATES; any of them
# with +record for the same feed into a program that records the session.
FEEDS=${FEEDS:-"nonscratch nonscratch+record scratch mixed headed-scratch"}
# The feeds socat receives, each stepped through SOCAT_RATES.
SOCAT_FEEDS=${SOCAT_FEEDS-"nonscratch headed-scratch"}

rates_of() {
  case ${1%+record} in
    scratch) echo "$SCRATCH_RATES" ;;
    mixed) echo "$MIXED_RATES" ;;
    headed-scratch) echo "$HEADED_SCRATCH_RATES" ;;
    *) echo "$NONSCRATCH_RATES" ;;
  esac
}

say "## throughput ($(date -u +%FT%TZ), netns=${BENCH_NETNS}, load $(load_now))"
if echo "$PLATFORMS" | grep -q xcb; then
  start_xvfb || exit 1
fi

if [ -n "$SOCAT_RATES" ]; then
  for feed in $SOCAT_FEEDS; do
    socat_best=$(step_rates socat - "$feed" "$SOCAT_RATES")
    say "socat $feed loss-free: ${socat_best#best=} records/s (load $(load_now))"
  done
fi

for platform in $PLATFORMS; do
  for feed in $FEEDS; do
    rates=$(rates_of "$feed")
    [ -z "$rates" ] && continue
    best=$(step_rates program "$platform" "$feed" "$rates")
    say "$PROGRAM/$platform $feed loss-free: ${best#best=} records/s (load $(load_now))"
  done
done
