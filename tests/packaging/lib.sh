# What the package checks share. ctest passes VORDA_SOURCE_DIR, VORDA_VERSION, VORDA_RELEASE_DATE and,
# for the .deb, VORDA_DEB_DIR: the folder where make_deb.sh put the package and unpacked it (root/).
# shellcheck shell=bash
set -uo pipefail
: "${VORDA_SOURCE_DIR:?the source folder}" "${VORDA_VERSION:?the version}"

status=0
fail() { echo "FAIL: $*" >&2; status=1; }
fail_now() { echo "FAIL: $*" >&2; exit 1; }
finish() {
    ((status == 0)) && echo "PASS: $*"
    exit "$status"
}
need() { command -v "$1" >/dev/null || fail_now "no $1 here: bash scripts/install-deps.sh --test installs it"; }

deb_root() { echo "$VORDA_DEB_DIR/root"; }
the_deb() {
    local debs=("$VORDA_DEB_DIR"/*.deb)
    [[ ${#debs[@]} == 1 && -f "${debs[0]}" ]] || fail_now "no single .deb in $VORDA_DEB_DIR (make_deb.sh runs first)"
    echo "${debs[0]}"
}
