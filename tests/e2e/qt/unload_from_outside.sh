#!/usr/bin/env bash
# SIGTERM and SIGHUP (the end of a session) close the program from outside: the icon leaves the
# tray, no question is asked, and the autostart entry is left as it is.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

for signal in TERM HUP; do
    step "SIG$signal"
    qt_start_program
    desk_poll 5 test -f "$QT_ENTRY" || fail "no autostart entry after start"
    kill -s "$signal" "$QT_PID"
    qt_wait_program_end 10
    desk_wait_no_icon 5 || fail "the icon stays in the tray after SIG$signal"
    [[ -f "$QT_ENTRY" ]] || fail "SIG$signal removed the autostart entry"
    [[ -z "$(qt_program_windows)" ]] || fail "a window is left after SIG$signal"
done
echo "PASS: the program closes from outside without a question, leaving the autostart entry"
