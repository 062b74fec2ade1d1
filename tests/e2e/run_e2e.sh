#!/bin/sh
# Runs the end-to-end tests: the real program on its own Xvfb display and
# session bus, read from outside through the accessibility bus.
# Usage: run_e2e.sh PROGRAM RACE_FEED ARTIFACT_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb dbus-run-session import; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (make test installs it)" >&2; exit 1; }
done

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT INT TERM
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "e2e: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done

export DISPLAY=":$display"
dbus-run-session -- /usr/bin/python3 "$here/e2e_test.py" "$@"
