#!/usr/bin/env bash
# Makes the Windows zip as the README says (cpack in the cross-build folder):
#   make_zip.sh CROSS_BUILD_DIR WORK_DIR   ->  WORK_DIR/VordaDictionary-<version>-win32.zip
set -euo pipefail
build=$1
work=$2
[[ -f "$build/CPackConfig.cmake" ]] ||
    { echo "FAIL: $build has no CPackConfig.cmake: configure the cross-build again (README)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
if ! (cd "$build" && cpack -G ZIP -B "$work/cpack") >"$work/cpack.log" 2>&1; then
    tail -n 20 "$work/cpack.log" >&2
    echo "FAIL: cpack could not make the zip" >&2
    exit 1
fi
mv "$work"/cpack/*.zip "$work/"
echo "PASS: $(cd "$work" && ls -- *.zip)"
