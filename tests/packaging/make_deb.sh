#!/usr/bin/env bash
# Makes the .deb as the README says (cpack in the build folder) and unpacks it for the checks:
#   make_deb.sh BUILD_DIR WORK_DIR   ->  WORK_DIR/<package>.deb, WORK_DIR/root/, WORK_DIR/control/
set -euo pipefail
build=$1
work=$2
# shellcheck source=cpack_into.sh
source "$(dirname "$0")/cpack_into.sh"
cpack_into DEB "$build" "$work" "the .deb"
debs=("$work"/cpack/*.deb)
[[ ${#debs[@]} == 1 && -f "${debs[0]}" ]] || { echo "FAIL: cpack made '${debs[*]}', not one .deb" >&2; exit 1; }
mv "${debs[0]}" "$work/"
deb=$work/$(basename "${debs[0]}")
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
echo "PASS: $(basename "$deb")"
