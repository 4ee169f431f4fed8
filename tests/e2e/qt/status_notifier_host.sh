#!/usr/bin/env bash
# On a StatusNotifierItem host (a session bus with a watcher) the icon is an item on the bus, not a
# docked window. The host's "activate" stands for the double click, its context request opens the
# popup at the pointer, and the item's tooltip follows the clipboard.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
: "${VORDA_SNI_WATCHER:?the stand-in watcher}"
for tool in dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing (Debian package dbus-daemon)"; exit 77; }
done
qt_start_desktop

step "a session bus with a watcher"
dbus-daemon --session --nofork --address="unix:path=$DESK_DIR/session-bus" --print-address=1 \
    >"$DESK_DIR/bus-address" 2>"$DESK_DIR/bus.log" &
desk_track_pid $!
desk_poll 10 test -s "$DESK_DIR/bus-address" || fail "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$DESK_DIR/bus-address")
export DBUS_SESSION_BUS_ADDRESS
"$VORDA_SNI_WATCHER" >"$DESK_DIR/items" 2>"$DESK_DIR/watcher.log" &
desk_track_pid $!
bus_has_owner() {
    local answer
    answer=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null)
    [[ "$answer" == *"boolean true"* ]]
}
desk_poll 10 bus_has_owner org.kde.StatusNotifierWatcher || fail "the watcher did not take its name"

step "start: the item registers, nothing docks"
"$VORDA_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
desk_poll 20 test -s "$DESK_DIR/items" || fail "no item registered with the watcher"
item=$(head -n1 "$DESK_DIR/items")
item_call() { dbus-send --session --print-reply --dest="$item" /StatusNotifierItem "$@"; }
desk_poll 5 test -f "$QT_ENTRY" || fail "no autostart entry after start"
((${#item} > 0 && $(desk_icon_count) == 0)) || fail "an icon docked in the XEmbed tray as well"

step "the tooltip follows the clipboard"
desk_clip_text "  tide pool "
tooltip_quotes_text() {
    local tooltip
    tooltip=$(item_call org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:ToolTip 2>/dev/null)
    [[ "$tooltip" == *"Vorda Dictionary. Look up 'tide pool'"* ]]
}
desk_poll 5 tooltip_quotes_text || fail "the item's tooltip does not quote the clipboard"

step "activate stands for the double click"
item_call org.kde.StatusNotifierItem.Activate int32:1000 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "tide pool")"

step "the context request opens the popup at the pointer"
desk_clear_browser_log
qt_move_to 700 10
item_call org.kde.StatusNotifierItem.ContextMenu int32:700 int32:10 >/dev/null || fail "ContextMenu failed"
desk_poll 5 qt_popup_is_open || fail "no popup on the host's context request"
read -r popup_x popup_y _ < <(desk_window_geometry "$(qt_popup_window)")
((popup_x >= 690 && popup_x <= 710 && popup_y <= 20)) || fail "the popup is at $popup_x,$popup_y, not at the pointer"
qt_screenshot popup-status-notifier "$(qt_popup_window)"
desk_key q
qt_expect_opened_once "$(qt_address mnuQuotes "tide pool")"

step "Exit, Yes: the item leaves the bus"
qt_open_popup_by_host() {
    item_call org.kde.StatusNotifierItem.ContextMenu int32:700 int32:10 >/dev/null
    desk_poll 5 qt_popup_is_open
}
qt_open_popup_by_host || fail "no popup on the host's context request"
desk_key x
qt_wait_box >/dev/null || fail "no exit question"
desk_key Return
qt_wait_program_end 10
bus_has_owner "$item" && fail "the item is still on the bus after Exit"
echo "PASS: on a StatusNotifierItem host, activate looks up, the context request opens the popup"
