# Shared by the bench scripts: paths, a private network namespace, Xvfb, the
# receiver harness and the kernel's UDP counters. Sourced, not run.
# shellcheck shell=bash disable=SC2034

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT_DIR=$(cd "$BENCH_DIR/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT_DIR/build-bench}
BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
RACE_FEED=$BUILD_DIR/race-feed
HARNESS=$BUILD_DIR/bench/receiver_harness
SINK=$BUILD_DIR/bench/udp_sink
FEED_SCRIPT=$BUILD_DIR/bench/feed_script
BARE=$BUILD_DIR/bench/bare_window
MAP_WAIT=$BUILD_DIR/bench/map_wait
# COMMENTATOR=path measures another build of the program (an older one, say).
COMMENTATOR=${COMMENTATOR:-$BUILD_DIR/orvane-commentator}
RESULTS=${RESULTS:-$BUILD_DIR/bench-results.txt}

BENCH_TMP=$(mktemp -d /tmp/orvane-bench.XXXXXX)
BENCH_PIDS=()

cleanup() {
  local pid
  for pid in "${BENCH_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${BENCH_PIDS[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$BENCH_TMP"
}
trap cleanup EXIT

# Runs the calling script again inside its own network namespace, where only
# its own loopback traffic moves the UDP counters and nothing else binds the
# program's fixed ports. Without the rights for one it runs where it is.
# X servers pick their display by the abstract sockets they can bind, which
# each network namespace has its own of: the namespace gets its own X socket
# directory too, so its Xvfb cannot take over another server's socket file.
enter_netns() {
  if [ -n "${BENCH_NETNS:-}" ]; then
    return
  fi
  if unshare -n -m true 2>/dev/null; then
    exec unshare -n -m env BENCH_NETNS=1 bash -c \
      'ip link set lo up && mkdir -p /tmp/.X11-unix &&
       mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix && exec bash "$@"' bash "$0" "$@"
  fi
  export BENCH_NETNS=shared
}

say() {
  echo "$*"
  echo "$*" >>"$RESULTS"
}

load_now() {
  cut -d' ' -f1-3 /proc/loadavg
}

now_ns() {
  date +%s%N
}

# kv KEY LINE: the value of KEY=value in LINE; 0 when LINE has none.
kv() {
  local key=$1 line=$2 field
  for field in $line; do
    if [ "${field%%=*}" = "$key" ]; then
      echo "${field#*=}"
      return
    fi
  done
  echo 0
}

# Udp counters of /proc/net/snmp: udp_counter RcvbufErrors|InErrors.
udp_counter() {
  awk -v want="$1" '/^Udp:/ { n++; if (n == 1) { for (i = 2; i <= NF; i++) col[$i] = i }
                              else { print $(col[want]); exit } }' /proc/net/snmp
}

# Drops the kernel counted on the sockets bound to PORT (last column).
socket_drops() {
  local hex
  hex=$(printf '%04X' "$1")
  awk -v p="$hex" 'NR > 1 { split($2, a, ":"); if (a[2] == p) d += $13 } END { print d + 0 }' \
    /proc/net/udp
}

# Bytes waiting in the receive queues of the sockets bound to PORT.
socket_queue() {
  local hex
  hex=$(printf '%04X' "$1")
  awk -v p="$hex" 'NR > 1 { split($2, a, ":"); if (a[2] == p) { split($5, q, ":"); if (q[2] != "00000000") busy = 1 } }
                   END { print busy + 0 }' /proc/net/udp
}

# Waits until FILE holds a line starting with WORD, at most SECONDS.
wait_for_line() {
  local file=$1 word=$2 seconds=$3 i
  for ((i = 0; i < seconds * 20; i++)); do
    if grep -q "^$word" "$file" 2>/dev/null; then
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# Waits for PID to end, at most SECONDS; kills it after that.
wait_pid() {
  local pid=$1 seconds=$2 i
  for ((i = 0; i < seconds * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" 2>/dev/null
      return $?
    fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 124
}

XVFB_DISPLAY=
# Starts Xvfb on a display it picks itself (it takes the display's lock, so
# nothing starting at the same moment can pick the same one); it writes the
# number once it accepts clients.
start_xvfb() {
  local i pid
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$BENCH_TMP/xvfb-display" \
    >"$BENCH_TMP/xvfb.log" 2>&1 &
  pid=$!
  BENCH_PIDS+=("$pid")
  for ((i = 0; i < 600; i++)); do
    if grep -q '^[0-9][0-9]*$' "$BENCH_TMP/xvfb-display" 2>/dev/null; then
      XVFB_DISPLAY=:$(cat "$BENCH_TMP/xvfb-display")
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "Xvfb did not report a display within 30 s; its output:" >&2
  tail -n 20 "$BENCH_TMP/xvfb.log" >&2
  return 1
}

# platform_env offscreen|xcb: the environment a Qt program runs in.
platform_env() {
  if [ "$1" = xcb ]; then
    echo "QT_QPA_PLATFORM=xcb DISPLAY=$XVFB_DISPLAY"
  else
    echo "QT_QPA_PLATFORM=offscreen"
  fi
}

HARNESS_PID=
HARNESS_OUT=
HARNESS_PORT1=
HARNESS_PORT2=
# harness_start PLATFORM ARGS...: the receiver harness in the background,
# once it listens.
harness_start() {
  local platform=$1
  shift
  HARNESS_OUT=$(mktemp "$BENCH_TMP/harness.XXXXXX")
  # shellcheck disable=SC2046
  env $(platform_env "$platform") "$HARNESS" "$@" >"$HARNESS_OUT" 2>"$HARNESS_OUT.err" &
  HARNESS_PID=$!
  BENCH_PIDS+=("$HARNESS_PID")
  if ! wait_for_line "$HARNESS_OUT" ready 30; then
    echo "receiver_harness did not start:" >&2
    cat "$HARNESS_OUT.err" >&2
    return 1
  fi
  local ready
  ready=$(grep '^ready' "$HARNESS_OUT")
  HARNESS_PORT1=$(kv port1 "$ready")
  HARNESS_PORT2=$(kv port2 "$ready")
}

# harness_result SECONDS: waits for the harness and prints its result line.
harness_result() {
  wait_pid "$HARNESS_PID" "$1"
  grep '^result' "$HARNESS_OUT"
}
