#!/usr/bin/env bash
# Started with the session, the program may come before the tray host: its icon docks once the host
# is there.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

step "no tray host yet; start the program"
desk_stop_tray || fail "the tray host did not stop"
"$VORDA_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
desk_poll 10 test -f "$QT_ENTRY" || fail "the program did not start (no autostart entry)"
desk_is_running "$QT_PID" || fail "the program ended without a tray host"

step "the tray host comes"
desk_start_tray || fail "the tray host did not start"
QT_ICON=$(desk_wait_icon 20) || fail "the icon did not dock in the tray host that came later"
desk_clip_text "late"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup late)"
echo "PASS: the icon docks in a tray host that comes after the program"
