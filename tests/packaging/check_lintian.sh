#!/usr/bin/env bash
# Debian 12's lintian finds no error and no warning in the .deb; an override must carry its reason on
# the line above it.
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
need lintian
deb=$(the_deb)
# Infos and pedantic notes are shown, not counted.
lintian --fail-on error,warning --display-info --pedantic --show-overrides "$deb" 2>&1 |
    grep -v '^running with root privileges' | tee "$VORDA_DEB_DIR/lintian.txt"
((PIPESTATUS[0] == 0)) || fail "lintian reports errors or warnings"
grep -E '^[EW]: ' "$VORDA_DEB_DIR/lintian.txt" >/dev/null && fail "lintian lists errors or warnings"

overrides=$(deb_root)/usr/share/lintian/overrides/vorda-dictionary
if [[ -f "$overrides" ]]; then
    awk '/^#/ { reason = 1; next } NF && !reason { print; bad = 1 } { reason = 0 } END { exit bad }' "$overrides" ||
        fail "an override without a reason on the line above it"
fi
finish "lintian: no error, no warning"
