#!/usr/bin/env bash
# A Wayland session with XWayland (sway, headless): the program's windows go to XWayland, its icon is
# a StatusNotifierItem (sway's bars have no XEmbed tray), and the clipboard is read through
# data-control, so that Wayland programs' copies are seen as well as X programs' ones, which the
# compositor passes on to Wayland. A picture, spaces only and a marked password are no text.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
desk_require Xwayland xlogo
qt_start_desktop

step "sway, headless, with XWayland; a session bus with a watcher"
qt_start_sway 'xwayland force' -V
as_user=("${QT_AS_USER[@]}")
# XWayland lets in only its own user's programs.
on_xwayland() { "${as_user[@]}" env DISPLAY="$xwayland" "$@"; }
xwayland_display() { grep -o 'Starting Xwayland on :[0-9]*' "$DESK_DIR/sway.log" | grep -o ':[0-9]*$'; }
desk_poll 10 xwayland_display >/dev/null || fail "XWayland did not start: $(tail -n 5 "$DESK_DIR/sway.log")"
xwayland=$(xwayland_display)
xwayland_up() { on_xwayland xwininfo -root >/dev/null 2>&1; }
desk_poll 10 xwayland_up || fail "XWayland on $xwayland does not answer"
qt_start_status_notifier_host

step "start on XWayland ($xwayland): an item on the bus"
"${as_user[@]}" env DISPLAY="$xwayland" "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
QT_PID=$!
desk_track_pid "$QT_PID"
qt_wait_item
desk_poll 5 qt_item_tooltip_has "No text in clipboard" || fail "the item's tooltip: $(qt_item_tooltip)"

step "a Wayland program's copy is shown and looked up"
qt_wl_copy "  kelp forest "
desk_poll 5 qt_item_tooltip_has "Look up 'kelp forest'" || fail "the item's tooltip: $(qt_item_tooltip)"
qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "kelp forest")"

step "a picture and spaces only are no text"
desk_convert -size 8x8 xc:red "$QT_SHARED/picture.png"
chmod 644 "$QT_SHARED/picture.png"
qt_wl_copy_file "$QT_SHARED/picture.png" --type image/png
desk_poll 5 qt_item_tooltip_has "No text in clipboard" || fail "the item's tooltip: $(qt_item_tooltip)"
qt_wl_copy "reset"
desk_poll 5 qt_item_tooltip_has "Look up 'reset'" || fail "the item's tooltip: $(qt_item_tooltip)"
qt_expect_no_text_on_spaces "    "

step "an X program's copy on XWayland is seen too"
desk_kill_pid "$QT_WAYLAND_OWNER"
QT_WAYLAND_OWNER=""
# sway hands X programs' copies on only once an X window has had the focus, as one has where a user
# copies in an X program.
on_xwayland xlogo >>"$DESK_DIR/xlogo.log" 2>&1 &
desk_track_pid $!
xlogo_shown() { [[ "$(on_xwayland xwininfo -name xlogo 2>/dev/null)" == *IsViewable* ]]; }
desk_poll 5 xlogo_shown || fail "the X window did not show on XWayland"
printf 'from X' | on_xwayland xclip -selection clipboard -loops 0 -quiet \
    >>"$DESK_DIR/xclip.log" 2>&1 &
desk_track_pid $!
desk_poll 5 qt_item_tooltip_has "Look up 'from X'" || fail "the item's tooltip: $(qt_item_tooltip)"
qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "from X")"

step "a password marked secret is no text"
qt_wayland_owner "hunter2" secret
desk_poll 5 qt_item_tooltip_has "No text in clipboard" || fail "the item's tooltip: $(qt_item_tooltip)"
desk_clear_browser_log
qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
qt_expect_nothing_opened "activate on a password"

step "the host's context request opens the popup on XWayland"
popup_on_xwayland() {
    local id
    for id in $(on_xwayland xwininfo -root -children 2>/dev/null | awk '/"vorda-dictionary"/ { print $1 }'); do
        [[ "$(on_xwayland xwininfo -id "$id" 2>/dev/null)" == *IsViewable* ]] && return 0
    done
    return 1
}
qt_item_call org.kde.StatusNotifierItem.ContextMenu int32:10 int32:10 >/dev/null || fail "ContextMenu failed"
desk_poll 5 popup_on_xwayland || fail "no popup on XWayland"
desk_is_running "$QT_PID" || fail "the program ended"
echo "PASS: with XWayland the program follows Wayland and X programs' copies through data-control"
