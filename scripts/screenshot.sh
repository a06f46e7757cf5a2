#!/bin/sh
# Takes docs/form.png: the form in the middle of a run of the sample log,
# shown by a real X server (Xvfb) and read back from its screen.
# Usage: scripts/screenshot.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
command -v xvfb-run >/dev/null || { echo "needs xvfb (apt-get install xvfb)" >&2; exit 1; }
cmake --build "$BUILD_DIR" -j2 --target test_app
mkdir -p docs
TVX_SCREENSHOT="$PWD/docs/form.png" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" \
    "$BUILD_DIR/tests/test_app" --gtest_filter=DocsScreenshot.FormDuringRun
echo "written: docs/form.png"
