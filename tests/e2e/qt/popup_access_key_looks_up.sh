#!/usr/bin/env bash
# A right click opens the popup at the icon; an item's access key runs its look-up; Escape and
# Cancel open nothing.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program

text=" rock & roll "
desk_clip_text "$text"
qt_wait_text_icon

step "right click, Escape"
qt_open_popup
qt_screenshot popup "$(qt_popup_window)"
qt_screenshot popup-at-tray "1024x400+0+0"
# The tray with the popup open, from the popup's left edge to the screen's right one: the picture of
# the program in its AppStream metainfo (docs/screenshots/tray-with-popup.png is this one's copy).
read -r popup_x _ _ popup_height < <(desk_window_geometry "$(qt_popup_window)") || fail "the popup is gone"
qt_screenshot tray-with-popup "$((${DESK_SCREEN%%x*} - popup_x + 24))x$((popup_height + 32))+$((popup_x - 24))+0"
desk_key Escape
qt_wait_popup_closed
qt_expect_nothing_opened "Escape in the popup"

step "right click, C (Cancel)"
qt_open_popup
desk_key c
qt_wait_popup_closed
qt_expect_nothing_opened "Cancel"

step "right click, R (rhymes)"
qt_open_popup
desk_key r
qt_wait_popup_closed
qt_expect_opened_once "$(qt_address mnuRyhme "$text")"

step "right click, E (encyclopedia)"
desk_clear_browser_log
qt_open_popup
desk_key e
qt_expect_opened_once "$(qt_address mnuEncyclopedia "$text")"
echo "PASS: the popup's access keys run their look-ups; Escape and Cancel open nothing"
