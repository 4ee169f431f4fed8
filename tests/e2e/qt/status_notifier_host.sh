#!/usr/bin/env bash
# On a StatusNotifierItem host (a session bus with a watcher) the icon is an item on the bus, not a
# docked window. The host's "activate" stands for the double click, its context request opens the
# popup at the pointer (below the panel, in the work area), and the item's tooltip follows the
# clipboard. A host that drops the item while the program runs is given it again.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
# Two screens, where Qt takes no work area from the window manager; the panel along the top.
qt_two_screens
qt_set_work_area_beside_tray top

step "a session bus with a watcher"
qt_start_status_notifier_host

step "start: the item registers, nothing docks"
"$VORDA_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
qt_wait_item
desk_poll 5 test -f "$QT_ENTRY" || fail "no autostart entry after start"
((${#QT_ITEM} > 0 && $(desk_icon_count) == 0)) || fail "an icon docked in the XEmbed tray as well"

step "the tooltip follows the clipboard"
desk_clip_text "  tide pool "
desk_poll 5 qt_item_tooltip_has "Vorda Dictionary. Look up 'tide pool'" || fail "the item's tooltip does not quote the clipboard"

step "activate stands for the double click"
qt_item_call org.kde.StatusNotifierItem.Activate int32:1000 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "tide pool")"

step "the host drops the item: the item registers again"
registrations() { wc -l <"$DESK_DIR/items"; }
registered_again() { (($(registrations) > 1)); }
"${QT_AS_USER[@]}" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.kde.StatusNotifierWatcher.DropItem "string:$QT_ITEM" >/dev/null || fail "the watcher did not drop the item"
desk_poll 10 registered_again || fail "the item did not register again after the host dropped it"
[[ "$(tail -n 1 "$DESK_DIR/items")" == "$QT_ITEM" ]] || fail "another item registered: $(tail -n 1 "$DESK_DIR/items")"

step "the context request opens the popup at the pointer, below the panel"
desk_clear_browser_log
qt_move_to 700 10
qt_item_call org.kde.StatusNotifierItem.ContextMenu int32:700 int32:10 >/dev/null || fail "ContextMenu failed"
desk_poll 5 qt_popup_is_open || fail "no popup on the host's context request"
qt_expect_popup_placed "ContextMenu(700, 10)" 700 10
read -r popup_x popup_y _ < <(desk_window_geometry "$(qt_popup_window)")
read -r _ area_y _ < <(qt_work_area)
((popup_x >= 690 && popup_x <= 710 && popup_y == area_y)) ||
    fail "the popup is at $popup_x,$popup_y, not at the pointer and the work area's top $area_y"
qt_screenshot popup-status-notifier "$(qt_popup_window)"
desk_key q
qt_expect_opened_once "$(qt_address mnuQuotes "tide pool")"

step "a request at a point off every screen opens the popup wholly in the work area"
desk_clear_browser_log
for point in "2147483647 -2147483648" "-2147483648 2147483647" "5000 5000" "-300 -300"; do
    read -r x y <<<"$point"
    qt_item_call org.kde.StatusNotifierItem.ContextMenu "int32:$x" "int32:$y" >/dev/null || fail "ContextMenu($x, $y) failed"
    desk_poll 5 qt_popup_is_open || fail "no popup on ContextMenu($x, $y)"
    qt_expect_popup_placed "ContextMenu($x, $y)" "$x" "$y"
    desk_key Escape
    qt_wait_popup_closed
done
qt_expect_nothing_opened "the popups closed with Escape"

step "Exit, Yes: the item leaves the bus"
qt_open_popup_by_host() {
    qt_item_call org.kde.StatusNotifierItem.ContextMenu int32:700 int32:10 >/dev/null
    desk_poll 5 qt_popup_is_open
}
qt_open_popup_by_host || fail "no popup on the host's context request"
desk_key x
qt_wait_box >/dev/null || fail "no exit question"
desk_key Return
qt_wait_program_end 10
qt_bus_has_owner "$QT_ITEM" && fail "the item is still on the bus after Exit"
# Once again after the drop, and no more: a loop of registrations would pass the step above.
(($(registrations) == 2)) || fail "the item registered $(registrations) times, not twice"
echo "PASS: on a StatusNotifierItem host, activate looks up, the context request opens the popup"
