#!/usr/bin/env bash
# On an XEmbed tray the popup opens when the right button is released, not while it is held down,
# as in the notification area the program was made for; the left button opens no popup.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program
desk_clip_text "tide pool"
qt_wait_text_icon

step "the right button held down"
qt_point_at "$QT_ICON"
xdotool mousedown 3
desk_on_cleanup "xdotool mouseup 3 2>/dev/null || true"
sleep "$QT_QUIET_SECONDS"
qt_popup_is_closed || fail "the popup opened on the right button's press"

step "released"
xdotool mouseup 3
desk_poll 5 qt_popup_is_open || fail "the popup did not open on the right button's release"
desk_key Escape
qt_wait_popup_closed
qt_expect_nothing_opened "Escape in the popup"

step "the left button, pressed and released"
qt_point_at "$QT_ICON"
xdotool mousedown 1
sleep 0.5
xdotool mouseup 1
sleep "$QT_QUIET_SECONDS"
qt_popup_is_closed || fail "the left button opened the popup"
echo "PASS: the popup opens on the right button's release only"
