#!/usr/bin/env bash
# A double click on the icon looks the clipboard's text up in the dictionary, once; a single click
# does nothing.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program

text="  crème brûlée  au lait "
step "copy a text"
desk_clip_text "$text"
qt_wait_text_icon

step "a single click"
qt_click "$QT_ICON"
qt_expect_nothing_opened "a single click"

step "a double click"
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "$text")"

step "the tooltip"
qt_hover "$QT_ICON"
desk_poll 5 qt_tooltip_is_shown || fail "no tooltip over the icon"
qt_screenshot tooltip "$(qt_tooltip_window)"
echo "PASS: one double click, one dictionary look-up of the trimmed, encoded text"
