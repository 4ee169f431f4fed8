#!/usr/bin/env bash
# The Debian package (made by cpack in the packaging tests' fixture, tests/packaging/make_deb.sh) has
# its dependencies found by dpkg-shlibdeps; installed, the program starts from /usr/bin and docks its
# icon; removed, it leaves nothing behind.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
: "${VORDA_DEB_DIR:?the folder of the .deb that the packaging tests made}"
if ((EUID != 0)); then
    echo "SKIP: installing a package needs the superuser" >&2
    exit 77
fi
if dpkg-query -W -f='${Status}' vorda-dictionary 2>/dev/null | grep -q "ok installed"; then
    echo "SKIP: a vorda-dictionary package is installed already; it is left as it is" >&2
    exit 77
fi
qt_start_desktop

step "the package"
package=$(find "$VORDA_DEB_DIR" -maxdepth 1 -name 'vorda-dictionary_*.deb' | head -n 1)
[[ -n "$package" ]] || fail "no vorda-dictionary_*.deb in $VORDA_DEB_DIR"
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends" >&2
[[ "$depends" == *libqt6widgets6* && "$depends" == *libc6* ]] || fail "the dependencies were not found: '$depends'"

step "install"
desk_on_cleanup "dpkg -r vorda-dictionary >/dev/null 2>&1 || true"
dpkg -i "$package" >"$DESK_DIR/dpkg.log" 2>&1 || fail "dpkg -i failed: $(tail -n 5 "$DESK_DIR/dpkg.log")"
[[ -x /usr/bin/vorda-dictionary ]] || fail "no /usr/bin/vorda-dictionary"
grep -qxF "Exec=/usr/bin/vorda-dictionary" /usr/share/applications/com.vorda.dictionary.desktop ||
    fail "the launcher does not start the installed program"
[[ "$(man -w vorda-dictionary 2>/dev/null)" == /usr/share/man/man1/vorda-dictionary.1.gz ]] ||
    fail "man does not find the manual page vorda-dictionary(1)"

step "the installed program"
# shellcheck disable=SC2034 # read by lib.sh
QT_RUN_PROGRAM=/usr/bin/vorda-dictionary
qt_start_program
desk_clip_text "installed"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup installed)"
desk_kill_pid "$QT_PID"
desk_wait_no_icon 5 || fail "the icon stays after the program ended"

step "remove"
dpkg -r vorda-dictionary >>"$DESK_DIR/dpkg.log" 2>&1 || fail "dpkg -r failed: $(tail -n 5 "$DESK_DIR/dpkg.log")"
for file in /usr/bin/vorda-dictionary /usr/share/applications/com.vorda.dictionary.desktop \
    /usr/share/icons/hicolor/32x32/apps/vorda-dictionary.png /usr/share/icons/hicolor/256x256/apps/vorda-dictionary.png \
    /usr/share/metainfo/com.vorda.dictionary.metainfo.xml /usr/share/man/man1/vorda-dictionary.1.gz; do
    [[ ! -e "$file" ]] || fail "$file is left after removal"
done
echo "PASS: the package installs a working program and removes it again"
