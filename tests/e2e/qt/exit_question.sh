#!/usr/bin/env bash
# Exit asks whether to start with the session: No removes the autostart entry, Yes keeps it; either
# way the icon leaves the tray and the program ends. Escape is no answer. The next start writes the
# entry again.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

step "start, Exit (X), answer No"
qt_start_program
desk_poll 5 test -f "$QT_ENTRY" || fail "no autostart entry after start"
qt_open_popup
desk_key x
box=$(qt_wait_box) || fail "no box titled 'Vorda Dictionary'"
qt_screenshot exit-question "$box"
desk_key n
qt_wait_program_end 10
desk_wait_no_icon 5 || fail "the icon stays in the tray after Exit"
[[ ! -e "$QT_ENTRY" ]] || fail "the autostart entry is still there after No"

step "start again: the entry is back; Exit, answer Yes (Enter, the default)"
qt_start_program
desk_poll 5 test -f "$QT_ENTRY" || fail "the next start did not write the autostart entry again"
written=$(stat -c %Y.%s "$QT_ENTRY")
qt_open_popup
desk_key x
box=$(qt_wait_box) || fail "no box titled 'Vorda Dictionary'"
desk_key Escape
sleep "$QT_QUIET_SECONDS"
desk_window_is_viewable "$box" || fail "Escape dismissed the question; it wants Yes or No"
desk_key Return
qt_wait_program_end 10
desk_wait_no_icon 5 || fail "the icon stays in the tray after Exit"
[[ -f "$QT_ENTRY" ]] || fail "the autostart entry is gone after Yes"
[[ "$(stat -c %Y.%s "$QT_ENTRY")" == "$written" ]] || fail "the autostart entry was rewritten at exit"
echo "PASS: Exit asks, No removes the entry, Yes keeps it, and the program ends with its icon gone"
