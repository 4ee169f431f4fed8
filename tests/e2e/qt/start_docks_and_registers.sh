#!/usr/bin/env bash
# Start: the icon docks in the tray and the autostart entry names the program by its quoted path.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

step "start the program"
qt_start_program
desk_poll 5 test -f "$QT_ENTRY" || fail "no autostart entry $QT_ENTRY after start"

step "the autostart entry"
expected_exec="Exec=\"$(qt_program_folder)/vorda-dictionary\""
grep -qxF "$expected_exec" "$QT_ENTRY" || fail "the entry lacks '$expected_exec': $(cat "$QT_ENTRY")"
grep -qxF "Type=Application" "$QT_ENTRY" || fail "the entry is not of Type=Application"
grep -qxF "Name=Vorda Dictionary" "$QT_ENTRY" || fail "the entry lacks its Name"
[[ "$(head -n1 "$QT_ENTRY")" == "[Desktop Entry]" ]] || fail "the entry does not start with its group"
[[ "$(stat -c %a "$QT_ENTRY")" == 644 ]] || fail "the entry is not readable by every user"
[[ -z "$(find "$QT_AUTOSTART" -name '.*')" ]] || fail "a temporary file was left in the autostart folder"

step "the clipboard is empty: the red book"
qt_wait_no_text_icon
qt_screenshot docked-icon-no-text "$(desk_tray_panel)"
desk_clip_text "word"
qt_wait_text_icon
qt_screenshot docked-icon "$(desk_tray_panel)"
echo "PASS: the icon docks, follows the clipboard, and the autostart entry is written"
