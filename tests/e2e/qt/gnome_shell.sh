#!/usr/bin/env bash
# GNOME Shell 43, headless on Wayland with XWayland, as an unprivileged user, the program given
# GNOME's X display and Wayland display as a session gives them. GNOME has no tray of its own:
# without the AppIndicator extension the program says so (on standard error and as a notification
# that the shell receives) and keeps running; once the extension is enabled its item registers. Then
# copies from a Wayland and an X program change the item's icon and tooltip, the host's Activate
# looks up, and the exported menu, as the extension asks for it, chooses the thesaurus and Exit.
# Then the icon must still be drawn in the top bar, and a double click on it look up.
#
#   gnome_shell.sh [load]   load: two busy processes beside the desktop from its start on, as at a
#                           session start, when the machine is busiest
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
desk_require gnome-shell gsettings dbus-monitor dbus-daemon xclip python3
mode=${1:-plain}
[[ "$mode" == plain || "$mode" == load ]] || { echo "usage: $0 [load]" >&2; exit 2; }
# Under load every bound is three times as long: what is waited for is the same.
patience=1
[[ "$mode" == load ]] && patience=3
extension=ubuntu-appindicators@ubuntu.com
[[ -d /usr/share/gnome-shell/extensions/$extension ]] ||
    fail "the AppIndicator extension is missing (Debian package gnome-shell-extension-appindicator)"
qt_start_bare_desktop
qt_prepare_user_session
as_user=("${QT_AS_USER[@]}")
mkdir -p "$VORDA_SCREENSHOT_DIR"
if [[ "$mode" == load ]]; then
    step "two busy processes beside the desktop"
    for _ in 1 2; do
        sh -c 'while :; do :; done' &
        desk_track_pid $!
    done
fi

step "a private system bus (GNOME Shell asks it for logind), a session bus, the extension off"
"${as_user[@]}" dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/system-bus" \
    >"$DESK_DIR/system-bus.log" 2>&1 &
desk_track_pid $!
desk_poll $((10 * patience)) test -S "$XDG_RUNTIME_DIR/system-bus" || fail "the system bus did not start"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system-bus"
qt_start_session_bus
# All that the item and its host say to each other, for the log of a failed run.
"${as_user[@]}" dbus-monitor --session "interface='org.kde.StatusNotifierItem'" \
    "interface='org.kde.StatusNotifierWatcher'" "interface='org.freedesktop.DBus.Properties'" \
    "type='error'" "type='method_return'" "member='NameOwnerChanged'" >"$DESK_DIR/item-bus.log" 2>&1 &
desk_track_pid $!
gsettings_set() { "${as_user[@]}" env GSETTINGS_BACKEND=dconf gsettings set org.gnome.shell "$@"; }
gsettings_set disable-user-extensions false || fail "gsettings cannot write the shell's settings"
# The test's two clicks come as bus calls, which a loaded shell takes its time over: a slow hand's
# double click, as the mouse settings allow.
"${as_user[@]}" env GSETTINGS_BACKEND=dconf gsettings set org.gnome.desktop.peripherals.mouse double-click 2000 ||
    fail "gsettings cannot write the mouse settings"
gsettings_set enabled-extensions "[]"

step "gnome-shell --headless --wayland"
unset DISPLAY
qt_start_compositor gnome-shell env XDG_SESSION_TYPE=wayland gnome-shell --headless --wayland \
    --virtual-monitor 1280x800
x_display() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$DESK_DIR/gnome-shell.log" | head -n 1; }
x_display_known() { [[ -n "$(x_display)" ]]; }
desk_poll $((20 * patience)) x_display_known || fail "GNOME Shell started no XWayland: $(tail -n 5 "$DESK_DIR/gnome-shell.log")"
DISPLAY=$(x_display)
XAUTHORITY=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -n 1)
export DISPLAY XAUTHORITY
desk_poll $((20 * patience)) grep -q "GNOME Shell started" "$DESK_DIR/gnome-shell.log" || fail "GNOME Shell did not finish starting"

step "the program without the extension: it runs, says that it has no tray, and the shell gets a notification"
"${as_user[@]}" dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" \
    >"$DESK_DIR/notifications.log" 2>&1 &
desk_track_pid $!
sleep 0.5
"${as_user[@]}" "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
desk_poll $((10 * patience)) grep -q "no tray to show its icon in" "$DESK_DIR/program.log" || fail "nothing said of the missing tray"
desk_poll $((5 * patience)) grep -q "AppIndicator extension" "$DESK_DIR/notifications.log" || fail "no notification reached the shell"
desk_is_running "$QT_PID" || fail "the program ended without a tray"
qt_bus_has_owner org.kde.StatusNotifierWatcher && fail "a watcher is there without the extension"

step "the extension enabled later: the item registers with its watcher"
gsettings_set enabled-extensions "['$extension']"
desk_poll $((20 * patience)) qt_bus_has_owner org.kde.StatusNotifierWatcher || fail "the extension's watcher did not come"
qt_wait_watcher_item $((20 * patience))
sleep 2
qt_xembed_icon_docked && fail "the extension's legacy tray also holds an XEmbed icon of the program"
said=$(grep -c "no tray to show its icon in" "$DESK_DIR/program.log")
((said == 1)) || fail "the missing tray was said $said times"

step "an X program's copy and a Wayland program's copy change the icon and the tooltip"
# The pictures only: the reply's first line names the call and its time.
icon_share() { qt_item_call org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:IconPixmap 2>/dev/null | tail -n +2 | md5sum; }
[[ "$(qt_item_call org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:IconPixmap)" == *"array of bytes"* ]] ||
    fail "the item has no picture"
no_text_icon=$(icon_share)
x_copy() {
    [[ -n "${x_owner:-}" ]] && desk_kill_pid "$x_owner"
    printf '%s' "$1" >"$QT_SHARED/x-copy.txt"
    "${as_user[@]}" env DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" xclip -quiet -selection clipboard \
        -i "$QT_SHARED/x-copy.txt" >/dev/null 2>&1 &
    x_owner=$!
    desk_track_pid "$x_owner"
}
x_copy "  tide pool"
desk_poll $((5 * patience)) qt_item_tooltip_has "Vorda Dictionary. Look up 'tide pool'" || fail "an X copy did not reach the tooltip: $(qt_item_tooltip)"
[[ "$(icon_share)" != "$no_text_icon" ]] || fail "the icon did not change for an X copy"
x_copy "   "
desk_poll $((5 * patience)) qt_item_tooltip_has "No text in clipboard" || fail "an X copy of spaces did not reach the tooltip: $(qt_item_tooltip)"
[[ "$(icon_share)" == "$no_text_icon" ]] || fail "the no-text icon did not come back for spaces"
# Headless, the seat has no keyboard until a remote desktop session gives it one; a Wayland program
# needs one to take the clipboard.
# It also takes the shell's screenshots and clicks, one command a line.
mkfifo "$DESK_DIR/seat.in"
"${as_user[@]}" /usr/bin/python3 "$VORDA_SOURCE_DIR/tests/e2e/qt/gnome_seat_devices.py" 1280 <"$DESK_DIR/seat.in" \
    >"$DESK_DIR/seat.log" 2>&1 &
desk_track_pid $!
exec {seat_in}>"$DESK_DIR/seat.in"
desk_on_cleanup "exec $seat_in>&-"
desk_poll $((10 * patience)) grep -q ready "$DESK_DIR/seat.log" || fail "no keyboard for the seat: $(cat "$DESK_DIR/seat.log")"
seat_answered() { (($(wc -l <"$DESK_DIR/seat.log") > $1)); }
seat_command() {
    local before
    before=$(wc -l <"$DESK_DIR/seat.log")
    printf '%s\n' "$*" >&"$seat_in"
    desk_poll $((30 * patience)) seat_answered "$before" || fail "the seat helper did not answer '$*'"
    tail -n 1 "$DESK_DIR/seat.log"
}
install -m 755 "$VORDA_WINDOW_COPY" "$QT_SHARED/bin/window-copy"
"${as_user[@]}" env -u DISPLAY QT_QPA_PLATFORM=wayland "$QT_SHARED/bin/window-copy" "rock pool" >"$DESK_DIR/window-copy.log" 2>&1 &
desk_track_pid $!
desk_poll $((10 * patience)) grep -q copied "$DESK_DIR/window-copy.log" || fail "the Wayland program did not copy: $(cat "$DESK_DIR/window-copy.log")"
desk_poll $((5 * patience)) qt_item_tooltip_has "Vorda Dictionary. Look up 'rock pool'" || fail "a Wayland copy did not reach the tooltip: $(qt_item_tooltip)"
[[ "$(icon_share)" != "$no_text_icon" ]] || fail "the icon did not change for a Wayland copy"

step "Activate looks up"
qt_item_call org.kde.StatusNotifierItem.Activate int32:640 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "rock pool")"

step "the exported menu, as the extension reads it: the thesaurus item looks up"
desk_clear_browser_log
menu=$(qt_item_menu) || fail "the item exports no menu"
qt_menu_call() { "${as_user[@]}" dbus-send --session --print-reply --dest="$QT_ITEM" "$menu" "$@"; }
qt_menu_call com.canonical.dbusmenu.AboutToShow int32:0 >/dev/null || fail "AboutToShow failed"
thesaurus=$(qt_menu_item_id "$menu" "Thesaurus look up 'rock pool'") || fail "no thesaurus item in $(qt_menu_layout "$menu")"
qt_menu_click "$menu" "$thesaurus" || fail "the click on the thesaurus item failed"
qt_expect_opened_once "$(qt_address mnuThesaurus "rock pool")"

step "the icon is drawn in the top bar, and a double click on it looks up"
# The top bar, black with white and grey symbols and an orange mark for the remote desktop session
# that gives the seat its devices: only the icon has the pure yellow, red or blue of its 16 colours.
top_bar="$QT_SHARED/runtime/top-bar.png"
icon_colours='((r>0.8 && g>0.8 && b<0.3) || (r>0.8 && g<0.2 && b<0.2) || (b>0.8 && r<0.2 && g<0.2)) ? 1 : 0'
# Sets icon_box to "WIDTH HEIGHT X Y" of the icon's colours in the top bar; fails where it shows none.
icon_box=""
icon_drawn() {
    rm -f "$top_bar"
    [[ "$(seat_command shot 0 0 1280 30 "$top_bar")" == "shot "* ]] || return 1
    local found
    found=$(desk_convert "$top_bar" -fx "$icon_colours" -format '%@ %[fx:round(mean*w*h)]' info: 2>/dev/null | tail -n 1)
    [[ "$found" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)\ ([0-9]+)$ ]] || return 1
    icon_box="${BASH_REMATCH[*]:1:4}"
    # Some of the 16-pixel picture; a stray pixel or two is not the icon.
    ((BASH_REMATCH[1] >= 8 && BASH_REMATCH[5] >= 20))
}
desk_clear_browser_log
# Generous: the fault is an icon that never comes back; a busy shell draws late.
if ! desk_poll $((20 * patience)) icon_drawn; then
    [[ -f "$top_bar" ]] && cp "$top_bar" "$VORDA_SCREENSHOT_DIR/gnome-top-bar-$mode.png"
    fail "the top bar does not show the icon (see $VORDA_SCREENSHOT_DIR/gnome-top-bar-$mode.png); the item: $(qt_watcher_items)"
fi
cp "$top_bar" "$VORDA_SCREENSHOT_DIR/gnome-top-bar-$mode.png"
read -r width height x y <<<"$icon_box"
[[ "$(seat_command double $((x + width / 2)) $((y + height / 2)))" == "double "* ]] || fail "no double click"
qt_expect_opened_once "$(qt_address mnuLookup "rock pool")"

step "Exit from the exported menu asks its question; Yes ends the program"
exit_item=$(qt_menu_item_id "$menu" "Exit") || fail "no Exit in $(qt_menu_layout "$menu")"
qt_menu_click "$menu" "$exit_item" || fail "the click on Exit failed"
# The box, not the program's hidden window of the same title.
question() { xdotool search --onlyvisible --name "^Vorda Dictionary\$" 2>/dev/null | head -n 1; }
question_shown() { [[ -n "$(question)" ]]; }
desk_poll $((10 * patience)) question_shown || fail "no exit question"
# The shell may hand the focus over only after the box is drawn: the key goes again until it lands.
for attempt in 1 2 3; do
    xdotool windowactivate --sync "$(question)" key --delay 100 Return 2>/dev/null || true
    desk_poll $((4 * patience)) desk_is_gone "$QT_PID" && break
    question_shown || break
done
qt_wait_program_end 10
desk_poll $((5 * patience)) eval '! qt_watcher_holds_program' || fail "the extension still holds the item after Exit"

step "a new start with the Wayland program's copy already there: the item quotes it within a second"
gnome_item_there() { qt_watcher_holds_program && QT_ITEM=$(qt_watcher_items | grep -m1 "org.kde.StatusNotifierItem-$QT_PID-"); }
quotes_copy() { qt_item_tooltip_has "Vorda Dictionary. Look up 'rock pool'"; }
qt_start_timed gnome gnome_item_there quotes_copy "${as_user[@]}"
desk_clear_browser_log
qt_item_call org.kde.StatusNotifierItem.Activate int32:640 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "rock pool")"
echo "PASS ($mode): on GNOME Shell the item registers once the extension is on, follows both clipboards, its menu, Activate and a double click on the drawn icon look up; a copy made before the start is shown at once"
