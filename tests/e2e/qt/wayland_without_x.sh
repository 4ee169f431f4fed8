#!/usr/bin/env bash
# A Wayland session without XWayland (sway, headless): the program runs on Qt's Wayland platform,
# its icon is a StatusNotifierItem on the session bus, and it follows the clipboard through
# data-control. The host's requests stand for the mouse: activate for the double click, and a click
# on an item of the menu that the item exports (a Wayland program cannot place a popup of its own).
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
desk_require swaymsg wtype
qt_start_desktop

step "sway, headless, no XWayland; a session bus with a watcher"
qt_start_sway 'xwayland disable'
qt_start_status_notifier_host
as_user=("${QT_AS_USER[@]}")

step "start without an X display: an item on the bus"
"${as_user[@]}" env -u DISPLAY "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
qt_wait_item
desk_poll 5 qt_item_tooltip_has "Vorda Dictionary - No text in clipboard" || fail "the item's tooltip: $(qt_item_tooltip)"
grep -q "platform plugin" "$DESK_DIR/program.log" && fail "Qt's Wayland platform did not start"

step "a Wayland program's copy: the tooltip quotes it, activate looks it up"
qt_wl_copy "  rock pool "
desk_poll 5 qt_item_tooltip_has "Vorda Dictionary. Look up 'rock pool'" || fail "the item's tooltip: $(qt_item_tooltip)"
qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "rock pool")"

step "spaces only are no text"
qt_expect_no_text_on_spaces "   "

step "the item's menu, drawn by the host: choosing an item looks the text up"
qt_wl_copy "tide"
desk_poll 5 qt_item_tooltip_has "Look up 'tide'" || fail "the item's tooltip: $(qt_item_tooltip)"
menu=$(qt_item_menu) || fail "the item exports no menu"
rhyme=$(qt_menu_item_id "$menu" "Ryhming with 'tide'") || fail "no item for rhymes in $(qt_menu_layout "$menu")"
qt_menu_click "$menu" "$rhyme" || fail "the host's click on the item failed"
qt_expect_opened_once "$(qt_address mnuRyhme tide)"
desk_is_running "$QT_PID" || fail "the program ended"

step "Exit from the item's menu: the question is a window of its own; Yes ends the program"
sway_tree() { "${as_user[@]}" env SWAYSOCK="$(qt_sway_socket)" swaymsg -t get_tree 2>/dev/null; }
question_shown() { [[ "$(sway_tree)" == *'"name": "Vorda Dictionary"'* ]]; }
exit_item=$(qt_menu_item_id "$menu" "Exit") || fail "no Exit in $(qt_menu_layout "$menu")"
qt_menu_click "$menu" "$exit_item" || fail "the host's click on Exit failed"
desk_poll 5 question_shown || fail "no exit question: $(sway_tree)"
"${as_user[@]}" wtype -s 500 -k Return
qt_wait_program_end 10
qt_bus_has_owner "$QT_ITEM" && fail "the item is still on the bus after Exit"
echo "PASS: on Wayland without X the program is an item on the bus, follows the clipboard, and its menu is the host's"
