# shellcheck shell=bash
# cpack_into GENERATOR BUILD_DIR WORK_DIR WHAT: a fresh WORK_DIR, and cpack's GENERATOR run in BUILD_DIR
# into WORK_DIR/cpack; on failure the end of its log and "FAIL: cpack could not make WHAT", and exit.
cpack_into() {
    local generator=$1 build=$2 work=$3 what=$4
    rm -rf "$work"
    mkdir -p "$work"
    if ! (cd "$build" && cpack -G "$generator" -B "$work/cpack") >"$work/cpack.log" 2>&1; then
        tail -n 20 "$work/cpack.log" >&2
        echo "FAIL: cpack could not make $what" >&2
        exit 1
    fi
}
