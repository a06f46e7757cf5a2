#!/bin/sh
# Installs the Debian packages that the build and the tests need.
# Quiet and quick when everything is already there.
set -eu
PKGS="cmake ninja-build g++ clang libclang-rt-14-dev pkg-config \
qt6-base-dev libsqlite3-dev libshp-dev mdbtools-dev libexpat1-dev \
hamradio-files sqlite3 libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core \
dpkg-dev"
missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
# Node.js runs mdb-reader, the tests' second independent reader of Jet files.
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || missing="$missing nodejs npm"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
    echo "installing:$missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q >/dev/null
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -q --no-install-recommends $missing >/dev/null
fi
READER="$(dirname "$0")/../tests/jet/mdb-reader"
if [ ! -d "$READER/node_modules/mdb-reader" ]; then
    npm ci --prefix "$READER" --no-audit --no-fund --loglevel=error >/dev/null
fi
