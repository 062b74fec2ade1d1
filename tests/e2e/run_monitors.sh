#!/bin/sh
# Runs the two-monitor tests: Xorg with the dummy driver and two monitors
# side by side, openbox, the real program and race-feed, all in a network
# namespace of their own, so the program's fixed UDP ports and its claim on
# them never meet another test's.
# Usage: run_monitors.sh PROGRAM RACE_FEED ARTIFACT_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xorg Xvfb xrandr openbox xdotool xwininfo xprop import unshare ip; do
  command -v "$tool" >/dev/null || { echo "monitors: $tool is missing (make test installs it)" >&2; exit 1; }
done
[ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
  { echo "monitors: the Xorg dummy driver is missing (make test installs it)" >&2; exit 1; }

if [ -z "${MONITORS_NAMESPACE:-}" ]; then
  # Xorg starts as root only; so does a network namespace.
  if ! unshare -n true 2>/dev/null; then
    echo "monitors: skipped: needs root (Xorg and a network namespace)" >&2
    exit 77
  fi
  MONITORS_NAMESPACE=1 exec unshare -n "$0" "$@"
fi
ip link set lo up
exec /usr/bin/python3 "$here/monitors_test.py" "$@" "$here/two_monitors_xorg.conf"
