#!/bin/sh
# Pictures of korvis for the documentation: the main window writing the demo group into two
# simulated programmers, the same window once both are written, the about window and a message
# dialog. Runs the window under Xvfb and writes docs/screenshots/*.png.
#   scripts/screenshots.sh [BUILD_DIR]      (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$root/docs/screenshots

cmake --build "$build" --target shell_screenshots_test
mkdir -p "$out"
KORVIS_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/shell/shell_screenshots_test"

# Palette PNGs: a window picture has few colours, and the README should stay light.
for f in "$out"/*.png; do
    convert "$f" -strip -colors 128 PNG8:"$f"
done
ls -l "$out"
