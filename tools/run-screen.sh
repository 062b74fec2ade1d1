#!/bin/sh
# Starts the commentator screen, or says in one line why it cannot.
binary=${1:-build/orvane-commentator}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "make run: no display (DISPLAY is not set); on a machine without one use: xvfb-run -s '-screen 0 1024x768x24' $binary" >&2
  exit 1
fi
exec "$binary"
