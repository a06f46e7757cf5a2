#!/bin/sh
# Imports every source fixture (tests/data, samples and, when present, the
# shared real-world files) with a built command line into fresh targets and
# writes what each run left: the rows of [QSO-TAB], ERRORS.TXT and the
# counters. Two trees are compared by diffing their outputs:
#   scripts/dump-fixtures.sh build/src/cli/tolvex-import-cli /tmp/before
#   ...change, build...
#   scripts/dump-fixtures.sh build/src/cli/tolvex-import-cli /tmp/after
#   diff -r /tmp/before /tmp/after
# With TARGET_KIND=jet3 or jet4 the targets are Jet files instead (the
# target's tables added by init-target --into to the shared Access 97 sample
# or empty Access 2000 database), dumped in the same form, so that
#   diff -r /tmp/sqlite /tmp/jet4
# shows what the kind of target changes.
# Usage: [TARGET_KIND=sqlite|jet3|jet4] scripts/dump-fixtures.sh CLI OUT_DIR [SHARED_DATA_DIR]
set -eu
CLI=$(realpath "$1")
OUT=$(realpath -m "$2")
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SHARED=${3:-$ROOT/../shared/data}
KIND=${TARGET_KIND:-sqlite}
JET_ROWS=$(dirname "$CLI")/../../tests/tvx_jet_rows
case $KIND in
sqlite) ;;
jet3) JET_BASE=$SHARED/jet/jet3-sample.mdb ;;
jet4) JET_BASE=$SHARED/jet/real/empty-v2000.mdb ;;
*) echo "unknown TARGET_KIND $KIND" >&2 && exit 2 ;;
esac
CTY=/usr/share/hamradio-files/cty.csv
[ -f "$CTY" ] || CTY=$ROOT/tests/data/cty-excerpt.csv

rm -rf "$OUT"
mkdir -p "$OUT/host"
"$CLI" build-refdata --cty "$CTY" "$OUT/host/refdata.sqlite" >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# run NAME TYPE SOURCE [FILTER] [TARGET_TO_REUSE]: one import, its results
# under OUT/NAME.
run() {
    name=$1 type=$2 source=$3 filter=${4:-all}
    dir=$WORK/$name
    mkdir -p "$dir"
    cp "$source" "$dir/"
    if [ "$KIND" = sqlite ]; then target=$dir/target.sqlite; else target=$dir/target.mdb; fi
    if [ -n "${5:-}" ]; then
        cp "$5" "$target"
    elif [ "$KIND" = sqlite ]; then
        "$CLI" init-target "$target" >/dev/null
    else
        cp "$JET_BASE" "$target" && chmod u+w "$target"
        "$CLI" init-target --into "$target" >/dev/null
    fi
    set +e
    "$CLI" import --target "$target" --host-path "$OUT/host" --type "$type" \
        --source "$dir/$(basename "$source")" --filter "$filter" --opr-call N0CALL \
        --note imported --yes >"$OUT/$name.out" 2>&1
    echo "exit $?" >>"$OUT/$name.out"
    set -e
    sed "s|$dir|SRC|g; s|SRC/target\.mdb|SRC/target.sqlite|g" "$OUT/$name.out" >"$OUT/$name.tmp" &&
        mv "$OUT/$name.tmp" "$OUT/$name.out"
    [ -f "$dir/ERRORS.TXT" ] && cp "$dir/ERRORS.TXT" "$OUT/$name.errors"
    if [ "$KIND" = sqlite ]; then
        sqlite3 -header "$target" "SELECT * FROM [QSO-TAB] ORDER BY rowid" >"$OUT/$name.rows"
    else
        "$JET_ROWS" "$target" >"$OUT/$name.rows"
    fi
    LAST_TARGET=$target
}

for f in "$ROOT"/tests/data/text/* "$ROOT"/tests/data/regress/logwin/*; do
    case $f in
    *.asc) type=logwin ;;
    *xpwin*) type=xpwin ;;
    *logview*) type=logview ;;
    *swisslog*) type=swisslog ;;
    *) continue ;;
    esac
    run "text-$(basename "$f")" "$type" "$f"
done

run sample adif "$ROOT/samples/sample.adi"
run sample-none adif "$ROOT/samples/sample.adi" none
cp "$LAST_TARGET" "$WORK/sample-target"
run sample-lotw lotw "$ROOT/samples/sample.adi"

if [ -d "$SHARED/adif" ]; then
    find "$SHARED/adif" -name '*.adi' -o -name '*.adif' -o -name '*.ADI' | sort >"$WORK/adif.list"
    n=0
    while IFS= read -r f; do
        n=$((n + 1))
        name=adif-$n-$(basename "$f")
        run "$name" adif "$f"
        imported=$LAST_TARGET
        # A confirmation pass of the same file over what it loaded.
        run "$name-lotw" lotw "$f" all "$imported"
    done <"$WORK/adif.list"
fi
if [ -d "$SHARED/jet" ]; then
    for f in "$SHARED"/jet/stationmaster*.mdb; do
        run "jet-$(basename "$f")" stationmaster "$f"
    done
fi
echo "$(ls "$OUT" | grep -c '\.rows$') runs written to $OUT"
