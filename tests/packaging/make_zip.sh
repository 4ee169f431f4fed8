#!/usr/bin/env bash
# Makes the Windows zip as the README says (cpack in the cross-build folder):
#   make_zip.sh CROSS_BUILD_DIR WORK_DIR   ->  WORK_DIR/VordaDictionary-<version>-win32.zip
set -euo pipefail
build=$1
work=$2
[[ -f "$build/CPackConfig.cmake" ]] ||
    { echo "FAIL: $build has no CPackConfig.cmake: configure the cross-build again (README)" >&2; exit 1; }
# shellcheck source=cpack_into.sh
source "$(dirname "$0")/cpack_into.sh"
cpack_into ZIP "$build" "$work" "the zip"
mv "$work"/cpack/*.zip "$work/"
echo "PASS: $(cd "$work" && ls -- *.zip)"
