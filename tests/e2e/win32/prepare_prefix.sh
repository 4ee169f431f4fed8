#!/usr/bin/env bash
# A fresh 32-bit Wine prefix for this run, with Dictionary.exe installed in a folder whose path has
# spaces:  prepare_prefix.sh WORK_DIR DICTIONARY_EXE
# shellcheck source-path=SCRIPTDIR disable=SC2034 # WINE_WORK and SOURCE_DIR are read by wine_session.sh
set -euo pipefail

WINE_WORK=$1
exe=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/desktop.sh"
mkdir -p "$WINE_WORK"
WINE_WORK=$(cd "$WINE_WORK" && pwd)
SOURCE_DIR=""
source "$here/wine_session.sh"

desk_require wine wineboot wineserver
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
