#!/bin/sh
# Refreshes the README's screenshots from the end-to-end run's artefacts.
# Usage: tools/update-screenshots.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
(cd "$build" && ctest -R e2e_commentator --output-on-failure)
mkdir -p docs
for shot in main-window demo-scratch demo-points-race sprint demo-time-trial quick-text; do
  cp "$build/e2e-artifacts/$shot.png" "docs/$shot.png"
done
# The status corner: the right end of the main window's menu bar (the main
# window stands at 106,56 on the 1024x768 test display). Needs ImageMagick.
for state in live quiet ignoring; do
  convert "$build/e2e-artifacts/status-$state.png" -crop 500x18+418+56 +repage \
    "docs/status-$state.png"
done
# Two monitors side by side (needs root: Xorg and a network namespace).
(cd "$build" && ctest -R e2e_monitors --output-on-failure)
cp "$build/e2e-artifacts/monitors/two-monitors.png" docs/two-monitors.png
echo "docs/ updated"
