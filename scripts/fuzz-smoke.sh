#!/bin/sh
# Builds the fuzz targets with clang and runs each one briefly over its seed
# corpus: the generated seeds, the inputs kept in tests/data/regress, and a few
# seconds of mutation. A crash, hang or leak fails the script.
# Usage: scripts/fuzz-smoke.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build-fuzz}"
# Line tables are enough for the stacks of a crash report.
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" \
    -DTVX_FUZZ=ON -DTVX_BUILD_GUI=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target fuzz
SEEDS="$BUILD_DIR/fuzz-seeds"
rm -rf "$SEEDS"
"$BUILD_DIR/fuzz/fuzz_seeds" "$SEEDS"
# Runs one target over its corpus; its output goes to a log.
run_target() {
    target="$1"
    corpus="$SEEDS/$target"
    # The corpus folder is only read: new inputs go to a scratch folder.
    scratch="$BUILD_DIR/fuzz-scratch/$target"
    rm -rf "$scratch"
    mkdir -p "$scratch"
    "$BUILD_DIR/fuzz/fuzz_$target" -timeout=10 -rss_limit_mb=2048 -max_total_time=3 \
        -artifact_prefix="$BUILD_DIR/fuzz-scratch/$target-" -print_final_stats=1 \
        "$scratch" "$corpus" 2>"$BUILD_DIR/fuzz-scratch/$target.log"
}
TARGETS="adif logwin xpwin logview swisslog dbf dbt jet jetwrite settings"
for target in $TARGETS; do
    corpus="$SEEDS/$target"
    mkdir -p "$corpus"
    if [ -d "tests/data/regress/$target" ]; then
        cp tests/data/regress/"$target"/* "$corpus"/
    fi
    echo "fuzz_$target: $(ls "$corpus" | wc -l) seeds"
done
# Each run uses one core: two at a time.
# shellcheck disable=SC2086
set -- $TARGETS
while [ $# -gt 0 ]; do
    first="$1"
    second="${2:-}"
    shift
    [ -n "$second" ] && shift
    run_target "$first" &
    pid_first=$!
    status_second=0
    [ -n "$second" ] && { run_target "$second" || status_second=$?; }
    status_first=0
    wait "$pid_first" || status_first=$?
    for target in $first $second; do
        if [ "$target" = "$first" ]; then status=$status_first; else status=$status_second; fi
        grep -E 'stat::number_of_executed_units' "$BUILD_DIR/fuzz-scratch/$target.log" |
            sed "s/^/fuzz_$target: /" || true
        if [ "$status" -ne 0 ]; then
            tail -40 "$BUILD_DIR/fuzz-scratch/$target.log"
            exit 1
        fi
    done
done
