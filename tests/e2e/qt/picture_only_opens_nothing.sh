#!/usr/bin/env bash
# A clipboard that holds a picture only holds no text: the red book shows, and neither a double
# click nor a look-up item's access key opens anything; the typed-in look-up still works.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program

step "a picture on the clipboard"
desk_clip_text "before"
qt_wait_text_icon
desk_clip_image
qt_wait_no_text_icon

step "double click"
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on a picture-only clipboard"

step "right click, D and G (both disabled)"
qt_open_popup
qt_screenshot popup-no-text "$(qt_popup_window)"
desk_key d g
qt_expect_nothing_opened "the access keys of disabled look-ups"
qt_popup_is_open || fail "the popup closed on the access key of a disabled item"
desk_key Escape
qt_wait_popup_closed

step "text again: the open book, and the double click works"
desk_clip_text "again"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup again)"
echo "PASS: a picture-only clipboard opens nothing"
