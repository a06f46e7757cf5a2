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
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing:$missing" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q >/dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing >/dev/null
