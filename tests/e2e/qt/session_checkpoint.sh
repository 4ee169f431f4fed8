#!/usr/bin/env bash
# A session manager's save request (a checkpoint, and a log-out that is then cancelled) leaves the
# program running and working; only the end of the session ends it, as from outside: the icon leaves
# the tray, no question is asked, the autostart entry stays.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
: "${VORDA_SESSION_MANAGER:?the session manager for the tests}"
qt_start_desktop

manager_log="$DESK_DIR/session-manager.log"
mkfifo "$DESK_DIR/session-manager.in"
"$VORDA_SESSION_MANAGER" "$DESK_DIR/session-manager.address" <"$DESK_DIR/session-manager.in" >"$manager_log" 2>&1 &
desk_track_pid $!
exec 3>"$DESK_DIR/session-manager.in"
desk_on_cleanup "exec 3>&-"
desk_poll 5 test -s "$DESK_DIR/session-manager.address" || fail "the session manager did not start: $(cat "$manager_log")"
SESSION_MANAGER=$(cat "$DESK_DIR/session-manager.address")
export SESSION_MANAGER

# manager_says WHAT [TIMES]: the session manager has printed WHAT at least TIMES times (1).
manager_says() { (($(grep -cx "$1" "$manager_log") >= ${2:-1})); }
manager_do() { echo "$1" >&3; }
still_working() {
    desk_is_running "$QT_PID" || fail "the program ended at $1"
    desk_window_is_viewable "$QT_ICON" || fail "the icon left the tray at $1"
    [[ -f "$QT_ENTRY" ]] || fail "the autostart entry is gone after $1"
    desk_clip_text "$2"
    qt_wait_text_icon
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    qt_expect_opened_once "$(qt_address mnuLookup "$2")"
}

qt_start_program
desk_poll 10 manager_says registered || fail "the program did not register with the session manager"

step "a checkpoint"
manager_do checkpoint
desk_poll 10 manager_says save-done || fail "the program did not finish saving: $(cat "$manager_log")"
sleep 1
still_working "a checkpoint" "checkpoint"

step "a log-out, cancelled"
manager_do logout
desk_poll 10 manager_says save-done 2 || fail "the program did not finish saving at log-out: $(cat "$manager_log")"
manager_do cancel
sleep 1
still_working "a cancelled log-out" "cancelled"

step "the end of the session"
manager_do die
qt_wait_program_end 10
desk_wait_no_icon 5 || fail "the icon stays in the tray at the end of the session"
[[ -f "$QT_ENTRY" ]] || fail "the end of the session removed the autostart entry"
[[ -z "$(qt_program_windows)" ]] || fail "a window is left at the end of the session"
echo "PASS: a checkpoint and a cancelled log-out leave the program working; the session's end ends it"
