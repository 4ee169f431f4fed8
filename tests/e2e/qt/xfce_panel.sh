#!/usr/bin/env bash
# xfce4-panel 4.18 with its tray plugin on X. With the panel's session bus the program is a
# StatusNotifierItem: the panel draws its icon and its exported menu, a right click on the icon opens
# that menu with the current captions and a key chooses an item, a left click looks up. Without a
# session bus for the program the same tray docks its XEmbed icon, whose popup is the program's own.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
desk_require xfce4-panel
qt_start_bare_desktop # the panel is the tray here

step "xfce4-panel with its session bus"
qt_start_xfce_panel 30 16
panel_bus=$DBUS_SESSION_BUS_ADDRESS

# The tray plugin lays its buttons out from the panel's left edge; the first is the program's.
icon_x=11 icon_y=15
menu_window() {
    local id
    xwininfo -root -children 2>/dev/null | awk '/\("wrapper-2.0" "Wrapper-2.0"\)/ {
        if (match($0, /[0-9]+x[0-9]+\+/)) { split(substr($0, RSTART, RLENGTH), f, /[x+]/); if (f[2] > 150) print $1 } }' |
        while read -r id; do desk_window_is_viewable "$id" && echo "$id"; done
}
menu_is_open() { [[ -n "$(menu_window)" ]]; }
menu_is_closed() { [[ -z "$(menu_window)" ]]; }
panel_shows_icon() {
    desk_screenshot "$DESK_DIR/panel.png" 2>/dev/null || return 1
    # The open book's yellow hand, within the tray's first button.
    local share
    share=$(desk_share "$DESK_DIR/panel.png" '(r>0.7 && g>0.7 && b<0.3) ? 1 : 0' -crop 24x30+0+0) || return 1
    awk -v share="$share" 'BEGIN { exit !(share > 0.02) }'
}

step "the program, started with a text copied before: an item on the panel's bus that quotes it at once"
desk_clip_text "  tide pool "
xfce_item_there() { qt_watcher_holds_program && QT_ITEM=$(qt_watcher_items | grep -m1 "org.kde.StatusNotifierItem-$QT_PID-"); }
quotes_copy() { qt_item_tooltip_has "Vorda Dictionary. Look up 'tide pool'"; }
qt_start_timed "Xfce item" xfce_item_there quotes_copy
desk_poll 10 panel_shows_icon || fail "the panel does not draw the program's icon"
(($(desk_icon_count) == 0)) || fail "an XEmbed icon docked beside the item"

step "a right click on the icon: the panel opens the exported menu with the clipboard's captions"
menu=$(qt_item_menu) || fail "the item exports no menu"
qt_menu_item_id "$menu" "Thesaurus look up 'tide pool'" >/dev/null || fail "the menu's captions: $(qt_menu_layout "$menu")"
qt_move_to "$icon_x" "$icon_y" && xdotool click 3
desk_poll 5 menu_is_open || fail "no menu on a right click on the icon"
qt_screenshot xfce-panel-menu
desk_key t
desk_poll 5 menu_is_closed || fail "the menu stays open after its item was chosen"
qt_expect_opened_once "$(qt_address mnuThesaurus "tide pool")"

step "Cancel runs nothing; a left click looks up"
desk_clear_browser_log
qt_move_to "$icon_x" "$icon_y" && xdotool click 3
desk_poll 5 menu_is_open || fail "no menu on a right click on the icon"
desk_key c
desk_poll 5 menu_is_closed || fail "Cancel did not close the menu"
qt_expect_nothing_opened "Cancel"
qt_move_to "$icon_x" "$icon_y" && xdotool click 1
qt_expect_opened_once "$(qt_address mnuLookup "tide pool")"

step "Exit from the panel's menu asks its question; Yes ends the program, its item leaves the panel"
qt_move_to "$icon_x" "$icon_y" && xdotool click 3
desk_poll 5 menu_is_open || fail "no menu on a right click on the icon"
desk_key x
qt_wait_box >/dev/null || fail "no exit question"
desk_key Return
qt_wait_program_end 10
desk_poll 5 eval '! qt_watcher_holds_program' || fail "the panel still holds the item after Exit"

step "the program without a session bus: an XEmbed icon docked in the same tray, the program's own popup"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$DESK_DIR/no-session-bus"
# The icon is the open book from the start; a double click as soon as it docks shows what was read.
xembed_icon_there() { qt_xembed_icon_docked && QT_ICON=$(qt_xembed_icon) && qt_double_click "$QT_ICON"; }
looked_up() { desk_browser_has "$(qt_address mnuLookup "tide pool")"; }
desk_clear_browser_log
qt_start_timed "Xfce XEmbed" xembed_icon_there looked_up
DBUS_SESSION_BUS_ADDRESS=$panel_bus
desk_poll 3 qt_watcher_holds_program && fail "the program registered an item without a session bus"
desk_clear_browser_log
qt_open_popup
desk_key t
qt_wait_popup_closed
qt_expect_opened_once "$(qt_address mnuThesaurus "tide pool")"
echo "PASS: on xfce4-panel the item's exported menu and click look up; without a bus the XEmbed icon's popup does"
