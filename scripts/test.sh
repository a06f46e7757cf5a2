#!/bin/sh
# Installs what is missing, builds and runs every test.
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake arguments...]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
[ $# -gt 0 ] && shift
scripts/install-deps.sh
# Warnings are errors: the tree builds clean with -Wall -Wextra.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_WERROR=ON "$@" >/dev/null
cmake --build "$BUILD_DIR" -j2
# Twice as many test programs as cores: many cases wait on locks and
# timers, not on the processor.
ctest --test-dir "$BUILD_DIR" --output-on-failure -j4 ${CTEST_ARGS:-}
