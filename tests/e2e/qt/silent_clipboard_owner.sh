#!/usr/bin/env bash
# A clipboard owner that stops answering does not freeze the program: the popup still opens at
# once, the clipboard look-up opens nothing, the typed-in look-up works, and once the owner answers
# again so does the clipboard.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program
desk_clip_text "steady"
qt_wait_text_icon

step "the owner stops after its text was read: the look-up still has the text"
desk_stop "$DESK_CLIP_PID" || fail "the owner did not stop"
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup steady)"
kill -CONT "$DESK_CLIP_PID"

step "a new owner takes the clipboard and stops before the program has asked it"
desk_stop "$QT_PID" || fail "the program did not stop"
desk_on_cleanup "kill -CONT $QT_PID"
desk_clip_text "silent"
owner=$DESK_CLIP_PID
desk_on_cleanup "kill -CONT $owner"
desk_stop "$owner" || fail "the new owner did not stop"
kill -CONT "$QT_PID"

step "the popup opens at once"
started=$(date +%s%N)
qt_open_popup
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
echo "popup shown after ${elapsed_ms} ms" >&2
((elapsed_ms < 2000)) || fail "the popup took ${elapsed_ms} ms to open while the owner does not answer"
desk_key Escape
qt_wait_popup_closed

step "a double click opens nothing: the clipboard cannot be read"
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click while the owner does not answer"
qt_icon_shows_text || fail "the icon changed although the clipboard could not be read"

step "the typed-in look-up works meanwhile"
qt_open_popup
desk_key l
box=$(qt_wait_box) || fail "no input box"
desk_type "still here"
desk_key Return
qt_wait_window_gone "$box"
qt_expect_opened_once "$(qt_address mnuLookup "still here")"

step "the owner answers again"
desk_clear_browser_log
kill -CONT "$owner"
sleep 1.5 # a silent owner is asked again a second later
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup silent)"
echo "PASS: a silent clipboard owner freezes nothing"
