#!/usr/bin/env bash
# sway with waybar, the program started 5 s before the panel, as a session's autostart does: with no
# tray yet the program says so once and waits; when waybar comes, the icon appears in it. Clicked
# with a pointer of the compositor's: the left button looks up, the right one opens the exported menu
# drawn by waybar, and a click on its item looks that item up.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
: "${VORDA_WAYLAND_POINTER:?the pointer tool for Wayland}"
desk_require waybar grim
qt_start_bare_desktop

step "sway, headless, no XWayland; a session bus and no tray"
qt_start_sway $'xwayland disable\noutput HEADLESS-1 resolution 1280x800'
qt_start_session_bus
as_user=("${QT_AS_USER[@]}")
install -m 755 "$VORDA_WAYLAND_POINTER" "$QT_SHARED/bin/pointer"
click() { "${as_user[@]}" "$QT_SHARED/bin/pointer" 1280 800 "$@" >>"$DESK_DIR/pointer.log" 2>&1 || fail "the pointer failed: $(tail -n 2 "$DESK_DIR/pointer.log")"; }
screen() { (cd "$QT_SHARED/home" && "${as_user[@]}" grim screen.png) && cp "$QT_SHARED/home/screen.png" "$DESK_DIR/screen.png"; }

step "the program starts first: no tray, said once"
"${as_user[@]}" env -u DISPLAY "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
desk_poll 8 grep -q "no tray to show its icon in" "$DESK_DIR/program.log" || fail "nothing said of the missing tray"
sleep 5
qt_wl_copy "tide"

step "waybar comes: the icon appears in it"
cat >"$QT_SHARED/waybar.json" <<'JSON'
{"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"], "tray": {"icon-size": 16}}
JSON
chmod 644 "$QT_SHARED/waybar.json"
(cd "$QT_SHARED" && exec "${as_user[@]}" waybar -c "$QT_SHARED/waybar.json") >"$DESK_DIR/waybar.log" 2>&1 &
desk_track_pid $!
qt_wait_watcher_item 15
# screen_share CROP FX MORE_THAN: a fresh screenshot's share of pixels in CROP for which FX holds.
screen_share() {
    screen || return 1
    local share
    share=$(desk_share "$DESK_DIR/screen.png" "$2" -crop "$1") || return 1
    awk -v share="$share" -v least="$3" 'BEGIN { exit !(share > least) }'
}
# The tray sits at the bar's right end; the icon is the open book (text on the clipboard), its blue.
icon_drawn() { screen_share 40x30+1240+0 '(b>0.5 && r<0.35 && g<0.35) ? 1 : 0' 0.01; }
desk_poll 10 icon_drawn || fail "waybar does not draw the program's icon"
cp "$DESK_DIR/screen.png" "$VORDA_SCREENSHOT_DIR/waybar-tray.png"
said=$(grep -c "no tray to show its icon in" "$DESK_DIR/program.log")
((said == 1)) || fail "the missing tray was said $said times"

step "a left click on the icon looks up"
click 1262 15 left
qt_expect_opened_once "$(qt_address mnuLookup tide)"

step "a right click opens waybar's menu; a click on its thesaurus item looks up"
desk_clear_browser_log
click 1262 15 right
# The menu's light background under the bar, left of the icon.
menu_drawn() { screen_share 200x300+1040+40 '(r>0.9 && g>0.9 && b>0.9) ? 1 : 0' 0.3; }
desk_poll 5 menu_drawn || fail "no menu drawn on a right click"
cp "$DESK_DIR/screen.png" "$VORDA_SCREENSHOT_DIR/waybar-menu.png"
# The third of the seventeen rows, each 25 pixels from the menu's top at 16 pixels.
click 1135 81 left
qt_expect_opened_once "$(qt_address mnuThesaurus tide)"
echo "PASS: waybar started 5 s after the program shows its icon; its clicks and menu look up"
