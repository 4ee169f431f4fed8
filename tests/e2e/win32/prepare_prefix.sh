#!/usr/bin/env bash
# A fresh 32-bit Wine prefix for this run, with Dictionary.exe installed in a folder whose path has
# spaces:  prepare_prefix.sh WORK_DIR DICTIONARY_EXE
set -euo pipefail

WINE_WORK=$1
exe=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../lib/desktop.sh
source "$here/../lib/desktop.sh"
mkdir -p "$WINE_WORK"
WINE_WORK=$(cd "$WINE_WORK" && pwd)
SOURCE_DIR=""
# shellcheck source=wine_session.sh
source "$here/wine_session.sh"

[[ -f "$exe" ]] || fail "no Dictionary.exe at $exe"
rm -rf "$WINEPREFIX" "$SCREENSHOTS"

# wineboot wants a display; it gets a private one that ends with this script.
DESK_DIR="$WINE_WORK/prefix-desktop"
mkdir -p "$DESK_DIR"
trap desk_cleanup EXIT
desk_start_xvfb || fail "no private display for wineboot"
desk_on_cleanup "wineserver -k"

echo "-- wineboot --init in $WINEPREFIX"
timeout 240 wineboot --init >"$DESK_DIR/wineboot.log" 2>&1 || fail "wineboot failed or took over 240 s (see $DESK_DIR/wineboot.log)"
timeout 60 wineserver -w || fail "the prefix's wineserver did not finish"

mkdir -p "$(dirname "$PROGRAM_UNIX_PATH")"
cp "$exe" "$PROGRAM_UNIX_PATH"
echo "PASS: prefix ready with $PROGRAM_PATH"
