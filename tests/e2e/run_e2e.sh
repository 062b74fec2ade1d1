#!/bin/sh
# Runs the end-to-end tests: the real program on its own Xvfb display and
# session bus, with no window manager or under one, read from outside
# through the accessibility bus.
# Usage: run_e2e.sh PROGRAM RACE_FEED ARTIFACT_DIR [none|openbox]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
window_manager=${4:-none}

for tool in Xvfb dbus-run-session import xwininfo xprop xdotool; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (make test installs it)" >&2; exit 1; }
done
if [ "$window_manager" != none ]; then
  command -v "$window_manager" >/dev/null || { echo "e2e: $window_manager is missing (make test installs it)" >&2; exit 1; }
fi

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
manager=
trap 'kill $manager "$xvfb" 2>/dev/null || true' EXIT INT TERM
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "e2e: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=":$display"

if [ "$window_manager" = openbox ]; then
  openbox --sm-disable >/dev/null 2>&1 &
  manager=$!
  # Running once it has announced itself on the root window.
  tries=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || { echo "e2e: openbox did not start" >&2; exit 1; }
    sleep 0.1
  done
fi

E2E_WINDOW_MANAGER=$window_manager dbus-run-session -- /usr/bin/python3 "$here/e2e_test.py" "$@"
