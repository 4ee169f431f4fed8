#!/usr/bin/env bash
# The program on a compositor of the tests' own (tests/e2e/qt/DataControlServer.cpp) that offers the
# ext data-control protocol, the wlr one, or both: it binds ext where it can, else wlr, and on either
# follows a Wayland program's copies, a picture and a marked password being no text (marked on the
# Wayland side, or by the X owner of a copy handed on without its mark), while a Wayland program's
# copy of another text is shown whatever the X owner marks; an owner that never answers changes
# nothing and opens nothing. When the compositor withdraws the data control, the program connects
# again and follows the next copy.
#
#   wayland_data_control_protocols.sh ext|wlr|both
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
: "${VORDA_DATA_CONTROL_SERVER:?the compositor of the tests}"
offered=${1:?ext, wlr or both}
case $offered in
    ext | both) expected=ext_data_control_manager_v1 ;;
    wlr) expected=zwlr_data_control_manager_v1 ;;
    *) fail "unknown protocol choice $offered" ;;
esac
qt_start_desktop

step "a compositor that offers $offered data-control"
qt_start_compositor data-control "$VORDA_DATA_CONTROL_SERVER" "$offered" wayland-vorda
qt_start_program "${QT_AS_USER[@]}"
bindings() { grep '^bound' "$DESK_DIR/data-control.log"; }
bound() { grep -c '^bound' "$DESK_DIR/data-control.log"; }
desk_poll 5 bindings >/dev/null || fail "the program bound no data-control manager"
first=$(bindings)
[[ "$first" == "bound $expected" ]] || fail "the program bound ${first#bound }, not $expected"
qt_wait_no_text_icon

step "a text is shown and looked up"
qt_wayland_owner "  sea glass "
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "  sea glass ")"

step "a picture is no text"
qt_wayland_owner --type image/png "not a picture"
qt_wait_no_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on a picture"

step "a text offered only as UTF8_STRING is read as UTF-8"
qt_wayland_owner --type UTF8_STRING "café"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "café")"

step "a password marked secret is no text"
qt_wayland_owner "hunter2" secret
qt_wait_no_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on a password"

step "an X program's password that reaches Wayland without its mark is no text"
# A compositor may hand an X copy on to Wayland as its text alone (KWin 6 does), a moment after the X
# owner took the clipboard: here the X owner marks its password and a Wayland owner, standing in for
# the compositor's bridge, then offers it unmarked. A text shown before, so that the no-text icon
# tells of the password.
qt_wayland_owner "before the password"
qt_wait_text_icon
: "${VORDA_X11_LATE_OWNER:?the X owner that can mark its text}"
"$VORDA_X11_LATE_OWNER" "hunter2" 0 secret >"$DESK_DIR/x-password.txt" 2>&1 &
DESK_CLIP_PID=$!
desk_poll 5 grep -q owner "$DESK_DIR/x-password.txt" || fail "the X owner did not take the clipboard"
qt_wayland_owner "hunter2"
qt_wait_no_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on an X program's password"

step "after an X program's password, a copy made in a Wayland program is shown and looked up"
# While a Wayland window is active the compositor hands nothing on to X (KWin): the X owner keeps its
# marked password, and the Wayland program's copy is the selection.
qt_wayland_owner "made in Wayland"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "made in Wayland")"
desk_clear_browser_log
# The X password handed on again, unmarked, after other copies (a bridge that hands it on anew, a
# Wayland program that copies it as it was pasted): no text while the X owner marks it.
qt_wayland_owner "hunter2"
qt_wait_no_text_icon
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on the X program's password, copied again unmarked"
desk_clip_text "not a password"
qt_wayland_owner "handed on"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "handed on")"

step "an owner that never answers: nothing changes, nothing opens; the next copy is followed"
qt_wayland_owner "  tide  "
qt_wait_text_icon
qt_wayland_owner --silent "quiet"
sleep 1 # the failed read is asked again, and fails again
qt_icon_shows_text || fail "the icon changed for a text that was never read"
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click while the owner does not answer"
qt_wayland_owner "heard"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup heard)"

step "the compositor withdraws the data control: the program connects again"
before=$(bound)
bound_again() { (($(bound) > before)); }
kill -USR1 "$QT_COMPOSITOR_PID"
desk_poll 5 bound_again || fail "the program did not bind the data control again"
qt_wayland_owner "after the withdrawal"
qt_wait_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "after the withdrawal")"
desk_is_running "$QT_PID" || fail "the program ended"
echo "PASS: on $offered data-control the program binds $expected and follows the clipboard"
