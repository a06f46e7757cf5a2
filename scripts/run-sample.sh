#!/bin/sh
# Builds the program and imports the bundled sample log into a fresh target.
# Usage: scripts/run-sample.sh [OUT_DIR]
set -eu
cd "$(dirname "$0")/.."
OUT="${1:-sample-run}"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tolvex-import-cli
mkdir -p "$OUT/host"
rm -f "$OUT/target.sqlite" "$OUT/host/refdata.sqlite"
cp samples/sample.adi "$OUT/sample.adi"
# The reference data comes from the public country files of hamradio-files.
build/src/cli/tolvex-import-cli build-refdata --cty /usr/share/hamradio-files/cty.csv \
    "$OUT/host/refdata.sqlite"
build/src/cli/tolvex-import-cli init-target "$OUT/target.sqlite"
build/src/cli/tolvex-import-cli import --target "$OUT/target.sqlite" --host-path "$OUT/host" \
    --type adif --source "$OUT/sample.adi" --opr-call N0CALL --yes
echo "target: $OUT/target.sqlite  report: $OUT/ERRORS.TXT"
