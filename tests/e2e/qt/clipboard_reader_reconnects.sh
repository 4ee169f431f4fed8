#!/usr/bin/env bash
# The clipboard reader's own X connection is cut (xkill of its window): the program runs on,
# connects again, follows every copy after it, and never looks up the text of an earlier owner.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program
desk_clip_text "before"
qt_wait_text_icon

reader_window() { xdotool search --name "^vorda-dictionary clipboard reader\$" 2>/dev/null | head -n 1; }
first=$(reader_window)
[[ -n "$first" ]] || fail "the clipboard reader's window cannot be found"

step "the reader's connection is cut"
xkill -id "$first" >/dev/null 2>&1 || fail "xkill failed"
desk_clip_text "after"
# The X server hands the freed ids out again: the new window may have the old one's id.
reconnected() { [[ -n "$(reader_window)" ]]; }
desk_poll 10 reconnected || fail "the reader did not connect again: $(xwininfo -root -tree | grep -i vorda)"
desk_is_running "$QT_PID" || fail "the program ended when its reader's connection was cut"

step "the copy after it is looked up"
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup after)"

step "a picture, then a text: both followed"
desk_clip_image
qt_wait_no_text_icon
desk_clip_text "later"
qt_wait_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup later)"
echo "PASS: the reader connects again and follows the clipboard; no earlier text is looked up"
