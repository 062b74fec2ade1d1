#!/bin/sh
# Runs the browser view test: a real mosquitto, the real screen with
# --publish on its own Xvfb display and session bus, and headless Chromium
# showing the page, all in a network namespace of the test's own (the screen
# binds the venue's fixed ports). Exit 77 (skipped) when something it needs
# is missing or the namespace cannot be made.
# Usage: run_browser.sh PROGRAM RACE_FEED PAGE_DIR NPM_DIR SOURCE_DIR ARTIFACT_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb dbus-run-session mosquitto mosquitto_passwd chromium chromedriver unshare ip; do
  command -v "$tool" >/dev/null || { echo "browser test: $tool is missing (make test installs it)" >&2; exit 77; }
done
/usr/bin/python3 -c 'import selenium, pyatspi' 2>/dev/null ||
  { echo "browser test: python3-selenium or python3-pyatspi is missing" >&2; exit 77; }
unshare -n true 2>/dev/null || { echo "browser test: cannot make a network namespace" >&2; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/browser-run.XXXXXX")
xvfb=
finish() {
  # shellcheck disable=SC2086 # $xvfb is empty or one process id
  kill $xvfb 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

# Xvfb in the caller's namespace picks a display no other X server holds.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
tries=0
until grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; do
  kill -0 "$xvfb" 2>/dev/null || { echo "browser test: Xvfb ended" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  tries=$((tries + 1))
  [ "$tries" -lt 600 ] || { echo "browser test: Xvfb gave no display in 30 s" >&2; exit 1; }
  sleep 0.05
done
DISPLAY=":$(cat "$work/display")"
export DISPLAY

# shellcheck disable=SC2016 # expanded by the inner shell
unshare -n sh -c 'ip link set lo up && exec dbus-run-session -- /usr/bin/python3 "$@"' sh \
  "$here/browser_test.py" "$@"
