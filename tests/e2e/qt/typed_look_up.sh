#!/usr/bin/env bash
# "Look up..." (L) asks for a word; Enter looks it up in the dictionary; Escape opens nothing.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program

step "L, then Escape in the input box"
qt_open_popup
desk_key l
box=$(qt_wait_box) || fail "no box titled 'Vorda Dictionary'"
desk_key Escape
qt_wait_window_gone "$box"
qt_expect_nothing_opened "Escape in the input box"
desk_is_running "$QT_PID" || fail "closing the input box ended the program"

step "L, type a text with an ampersand, Enter"
typed="  salt & pepper "
qt_open_popup
desk_key l
box=$(qt_wait_box) || fail "no box titled 'Vorda Dictionary'"
desk_type "$typed"
qt_screenshot input-box "$box"
desk_key Return
qt_wait_window_gone "$box"
qt_expect_opened_once "$(qt_address mnuLookup "$typed")"

step "the next input box starts empty"
desk_clear_browser_log
qt_open_popup
desk_key l
box=$(qt_wait_box) || fail "no box titled 'Vorda Dictionary'"
desk_key Return
qt_wait_window_gone "$box"
qt_expect_nothing_opened "Enter on an empty input box"
echo "PASS: the typed-in look-up opens the encoded dictionary address"
