#!/usr/bin/env bash
# When the tray host goes away and comes back, the icon docks again and still answers.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program
desk_clip_text "phoenix"
qt_wait_text_icon

step "the tray host restarts"
desk_restart_tray || fail "the tray host did not restart"
QT_ICON=$(desk_wait_icon 20) || fail "the icon did not dock again in the new tray host"
desk_is_running "$QT_PID" || fail "the program ended with the tray host"
qt_wait_text_icon
qt_screenshot docked-icon-after-restart "$(desk_tray_panel)"

step "the icon still answers"
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup phoenix)"
echo "PASS: the icon docks again after the tray host restarts"
