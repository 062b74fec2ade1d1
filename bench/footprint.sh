#!/usr/bin/env bash
# The real program under Xvfb: start-up time to the main window mapped, as
# the X server reports it (map_wait), against a bare Qt window (median of 9
# runs each, alternating); CPU while idle for 10 s with every screen shown;
# resident memory after start, with every screen shown, and after a million
# mixed datagrams on both ports.
# Each run of the program gets its own runtime and working directory, with
# the two data files already there, as on every start but the very first
# (FIRST_START=1: an empty directory, so the start creates qdtype.dat);
# inside the private network namespace nothing else holds ports
# 29105/29104. Both programs run on a D-Bus session bus, as on a desktop:
# without one, Qt's accessibility bridge tries to start a bus of its own.
#
#   bench/footprint.sh [BUILD_DIR]      STARTUP_RUNS=9 IDLE_SECONDS=10 FOOTPRINT_COUNT=1000000 FOOTPRINT_RATE=0
set -u
BUILD_DIR=${1:-${BUILD_DIR:-}}
[ -n "$BUILD_DIR" ] && export BUILD_DIR
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
enter_netns "$@"
# In the namespace: the bus's abstract socket belongs to it.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
  exec dbus-run-session -- "$0" "$@"
fi

RUNS=${STARTUP_RUNS:-9}
IDLE_SECONDS=${IDLE_SECONDS:-10}
COUNT=${FOOTPRINT_COUNT:-1000000}
RATE=${FOOTPRINT_RATE:-0}
MAIN_TITLE="Commentator Screen v2.09"
BARE_TITLE="Bench bare window"
PORT1=29105
PORT2=29104


PROGRAM_PID=
LAUNCHER_PID=
MAPPED_MS=
# launch BINARY TITLE: starts it under Xvfb in fresh directories and waits
# until the X server has mapped its window titled TITLE; MAPPED_MS is the
# time from its start (-1 when it never came), PROGRAM_PID its process.
launch() {
  local run xdg ready
  run=$(mktemp -d "$BENCH_TMP/run.XXXXXX")
  xdg=$(mktemp -d "$BENCH_TMP/xdg.XXXXXX")
  chmod 700 "$xdg"
  if [ "${FIRST_START:-0}" != 1 ]; then
    head -c 31000 /dev/zero >"$run/qdtype.dat"
    printf '255.255.255.255\r\n' >"$run/commentator.dat"
  fi
  (cd "$run" && exec env QT_QPA_PLATFORM=xcb DISPLAY="$XVFB_DISPLAY" XDG_RUNTIME_DIR="$xdg" \
    "$MAP_WAIT" "$2" "$1" >"$run/mapped" 2>"$run/out.log") &
  LAUNCHER_PID=$!
  BENCH_PIDS+=("$LAUNCHER_PID")
  MAPPED_MS=-1
  PROGRAM_PID=
  if wait_for_line "$run/mapped" mapped_ms 30; then
    ready=$(cat "$run/mapped")
    MAPPED_MS=$(kv mapped_ms "$ready")
    MAPPED_MS=${MAPPED_MS%.*}
    PROGRAM_PID=$(kv pid "$ready")
  fi
}

stop_program() {
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
  kill "$LAUNCHER_PID" 2>/dev/null
  wait_pid "$LAUNCHER_PID" 10
}

median() {
  tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

rss_kb() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"
}

cpu_ticks() {
  # utime + stime: fields 14 and 15, after the command name in parentheses.
  sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

wakeups() {
  awk '/^voluntary_ctxt_switches:/ { v = $2 } /^nonvoluntary_ctxt_switches:/ { n = $2 } END { print v + n }' \
    "/proc/$1/status"
}

say "## footprint, real binary under Xvfb ($(date -u +%FT%TZ), netns=${BENCH_NETNS})"
start_xvfb || exit 1

# --- start-up ---------------------------------------------------------------------
bare_times=()
main_times=()
for ((run = 0; run < RUNS; run++)); do
  launch "$BARE" "$BARE_TITLE"
  bare_times+=("$MAPPED_MS")
  stop_program
  launch "$COMMENTATOR" "$MAIN_TITLE"
  main_times+=("$MAPPED_MS")
  stop_program
done
bare_ms=$(echo "${bare_times[*]}" | median)
main_ms=$(echo "${main_times[*]}" | median)
say "startup to window mapped: program median=${main_ms}ms (${main_times[*]}), bare Qt window" \
  "median=${bare_ms}ms (${bare_times[*]}), ratio=$(awk -v a="$main_ms" -v b="$bare_ms" 'BEGIN { printf "%.2f", a / b }')" \
  "(load $(load_now))"

# --- idle CPU and memory ---------------------------------------------------------------
launch "$COMMENTATOR" "$MAIN_TITLE"
pid=$PROGRAM_PID
sleep 1
rss_start=$(rss_kb "$pid")
for family in tt pts sprint qdtype scratch; do
  "$RACE_FEED" flood --rate 0 --count 1 --family "$family" --port $PORT1 --quiet
done
"$RACE_FEED" send '{heartbeat}+' --port $PORT2 >/dev/null
sleep 2
rss_shown=$(rss_kb "$pid")
hz=$(getconf CLK_TCK)
ticks0=$(cpu_ticks "$pid")
wake0=$(wakeups "$pid")
sleep "$IDLE_SECONDS"
ticks1=$(cpu_ticks "$pid")
wake1=$(wakeups "$pid")
say "idle ${IDLE_SECONDS}s with all screens shown: cpu=$(awk -v t=$((ticks1 - ticks0)) -v hz="$hz" -v s="$IDLE_SECONDS" \
  'BEGIN { printf "%.2f", 100 * t / hz / s }')% ($((ticks1 - ticks0)) ticks of 1/$hz s)," \
  "context switches=$((wake1 - wake0)) (load $(load_now))"

drops0=$(($(socket_drops $PORT1) + $(socket_drops $PORT2)))
half=$((COUNT / 2))
"$RACE_FEED" flood --rate "$RATE" --count "$half" --family mixed --port $PORT1 --quiet &
s1=$!
"$RACE_FEED" flood --rate "$RATE" --count $((COUNT - half)) --family mixed --port $PORT2 --quiet &
s2=$!
wait_pid $s1 3600
wait_pid $s2 3600
# Done once both receive queues are empty (at most 30 minutes).
for ((i = 0; i < 18000; i++)); do
  if [ "$(socket_queue $PORT1)" -eq 0 ] && [ "$(socket_queue $PORT2)" -eq 0 ]; then
    break
  fi
  sleep 0.1
done
sleep 1
drops=$(($(socket_drops $PORT1) + $(socket_drops $PORT2) - drops0))
alive=yes
kill -0 "$pid" 2>/dev/null || alive=no
rss_end=$(rss_kb "$pid")
say "memory: VmRSS after start=${rss_start}kB, all screens shown=${rss_shown}kB, after $COUNT" \
  "mixed datagrams (rate ${RATE}/port, handled=$((COUNT - drops)), dropped by kernel=$drops)=${rss_end}kB;" \
  "growth since screens shown=$(((rss_end - rss_shown) / 1024))MB ($((rss_end - rss_shown))kB), alive=$alive" \
  "(load $(load_now))"
stop_program
