#!/bin/sh
# Runs the end-to-end tests: the real program on its own Xvfb display and
# session bus, with no window manager or under one, read from outside
# through the accessibility bus.
# Usage: run_e2e.sh PROGRAM RACE_FEED ARTIFACT_DIR [none|openbox]
#
# E2E_PRIVATE_NETWORK=1 runs the window manager and the tests in a network
# namespace of their own (loopback only; needs the rights for unshare -n),
# so two runs at once do not share the program's fixed ports. Xvfb stays in
# the caller's namespace: it picks its display by the abstract sockets it can
# bind, which each network namespace has its own of, so only there does its
# choice see every other X server. The tests reach it through its socket file.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
window_manager=${4:-none}

for tool in Xvfb dbus-run-session import xwininfo xprop xdotool; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (make test installs it)" >&2; exit 1; }
done
if [ "$window_manager" != none ]; then
  command -v "$window_manager" >/dev/null || { echo "e2e: $window_manager is missing (make test installs it)" >&2; exit 1; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/e2e-run.XXXXXX")
xvfb=
manager=
finish() {
  # shellcheck disable=SC2086 # $manager is empty or one process id
  kill $manager $xvfb 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

# give_up WHAT SECONDS PID LOG LAST: why a wait failed (what was waited
# for, how long, what became of the process, the last answer seen), and the end.
give_up() {
  if kill -0 "$3" 2>/dev/null; then
    state="still running"
  else
    status=0
    wait "$3" 2>/dev/null || status=$?
    state="ended with status $status"
  fi
  {
    echo "e2e: gave up after $2 s waiting for $1"
    echo "e2e: the process is $state; last seen: ${5:-nothing}"
    echo "e2e: its output:"
    tail -n 20 "$4" | sed 's/^/  /'
  } >&2
  exit 1
}

seconds_since() {
  awk -v start="$1" -v now="$(date +%s.%N)" 'BEGIN { printf "%.1f", now - start }'
}
limit=30

if [ -z "${E2E_DISPLAY_READY:-}" ]; then
  # Xvfb picks a display no other X server holds and writes its number once
  # it accepts clients; two runs starting together get different displays.
  started=$(date +%s.%N)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  until grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; do
    kill -0 "$xvfb" 2>/dev/null || give_up "Xvfb to report its display" "$(seconds_since "$started")" \
      "$xvfb" "$work/xvfb.log" "no display number written"
    [ "$(seconds_since "$started" | cut -d. -f1)" -lt "$limit" ] ||
      give_up "Xvfb to report its display" "$limit" "$xvfb" "$work/xvfb.log" \
        "display file: '$(cat "$work/display")'"
    sleep 0.05
  done
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
  echo "e2e: Xvfb on $DISPLAY after $(seconds_since "$started") s"
  # The rest, on that display.
  if [ "${E2E_PRIVATE_NETWORK:-0}" = 1 ]; then
    # shellcheck disable=SC2016 # expanded by the inner shell
    E2E_DISPLAY_READY=1 unshare -n sh -c 'ip link set lo up && exec sh "$0" "$@"' "$0" "$@"
  else
    E2E_DISPLAY_READY=1 sh "$0" "$@"
  fi
  exit 0
fi

if [ "$window_manager" = openbox ]; then
  # A home of its own: every run is openbox's first start, whatever earlier
  # runs or the machine's user left in ~/.config and ~/.cache.
  mkdir "$work/home"
  started=$(date +%s.%N)
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
  manager=$!
  # Running once it has announced itself on the root window.
  last=
  until last=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>&1) && echo "$last" | grep -q 'window id'; do
    kill -0 "$manager" 2>/dev/null || give_up "openbox to announce itself on the root window" \
      "$(seconds_since "$started")" "$manager" "$work/openbox.log" "xprop: $last"
    [ "$(seconds_since "$started" | cut -d. -f1)" -lt "$limit" ] ||
      give_up "openbox to announce itself on the root window" "$limit" "$manager" \
        "$work/openbox.log" "xprop: $last"
    sleep 0.1
  done
  echo "e2e: openbox running after $(seconds_since "$started") s"
fi

E2E_WINDOW_MANAGER=$window_manager dbus-run-session -- /usr/bin/python3 "$here/e2e_test.py" "$@"
