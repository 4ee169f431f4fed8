#!/usr/bin/env bash
# KDE Plasma headless (5.27 on Debian 12, 6.3 on Debian 13): KWin on a virtual output with XWayland,
# the StatusNotifierWatcher of kded (kded5 or kded6, as plasmashell's version asks) and plasmashell
# as the host, as an unprivileged user. On both roads of a Plasma Wayland session (the
# program on Wayland alone, and on XWayland, where Plasma sessions send every X program) the item
# exports its menu, the host's Activate and a choice in the menu look up, an X program's password
# (marked as password managers mark it) is no text while a later copy made with a Wayland window
# active is text, and a host's ContextMenu
# opens the program's own popup at the point it names, which Escape and a click elsewhere close.
#
#     kde_plasma.sh [bare]     bare: KWin and kded's watcher alone, no plasmashell (a host that asks
#                              for the popup by ContextMenu instead of drawing the exported menu)
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
desk_require wl-copy xlogo
qt_start_bare_desktop
qt_start_plasma "${1:-}"
as_user=("${QT_AS_USER[@]}")
kwin_display=$QT_KWIN_DISPLAY

# check_item ROAD TEXT: the program's item on the watcher, with its menu; a Wayland copy of TEXT
# reaches its tooltip; Activate and the menu's thesaurus item look TEXT up. TEXT differs from the copy
# before, so that the tooltip tells the new copy has been read before the item is activated.
check_item() {
    local road=$1 text=$2 menu thesaurus
    qt_wait_watcher_item 20
    menu=$(qt_item_menu) || fail "$road: the item exports no menu"
    qt_wl_copy "$text"
    desk_poll 5 qt_item_tooltip_has "Vorda Dictionary. Look up '$text'" || fail "$road: the item's tooltip: $(qt_item_tooltip)"
    desk_clear_browser_log
    qt_item_call org.kde.StatusNotifierItem.Activate int32:1200 int32:790 >/dev/null || fail "$road: Activate failed"
    qt_expect_opened_once "$(qt_address mnuLookup "$text")"
    desk_clear_browser_log
    thesaurus=$(qt_menu_item_id "$menu" "Thesaurus look up '$text'") || fail "$road: no thesaurus item in $(qt_menu_layout "$menu")"
    qt_menu_click "$menu" "$thesaurus" || fail "$road: the click on the thesaurus item failed"
    qt_expect_opened_once "$(qt_address mnuThesaurus "$text")"
    QT_MENU=$menu
}

# kde_start_with_copy ROAD TEXT: the program started with TEXT copied before it by a Wayland program,
# which the item quotes within a second of registering.
kde_start_with_copy() {
    COPIED=$2
    qt_wl_copy "$COPIED"
    kde_item_there() { qt_watcher_holds_program && QT_ITEM=$(qt_watcher_items | grep -m1 "org.kde.StatusNotifierItem-$QT_PID-"); }
    quotes_copy() { qt_item_tooltip_has "Vorda Dictionary. Look up '$COPIED'"; }
    qt_start_timed "KDE $1" kde_item_there quotes_copy "${as_user[@]}"
}

step "the Wayland road: the program on Wayland alone"
kde_start_with_copy Wayland "low tide"
check_item Wayland "tide pool"
# A Plasma session ends its programs with SIGTERM: the item leaves the bus.
kill -TERM "$QT_PID"
qt_wait_program_end 10

step "the XWayland road: the program's windows on KWin's X display"
export DISPLAY=$kwin_display
# KWin's X server takes local clients of its own user only.
xwininfo() { "${as_user[@]}" /usr/bin/xwininfo "$@"; }
xdotool() { "${as_user[@]}" /usr/bin/xdotool "$@"; }
kde_start_with_copy XWayland "high tide"
check_item XWayland "rock pool"

step "an X program's copies on KWin's X display: a marked password is no text, a plain copy is text"
: "${VORDA_X11_LATE_OWNER:?the X owner that can mark its text}"
install -m 755 "$VORDA_X11_LATE_OWNER" "$QT_SHARED/bin/x11-owner"
# x_owner TEXT HINT: an X program owns the clipboard, its text marked with HINT as a password manager does.
x_owner() {
    rm -f "$QT_SHARED/x-owner.txt"
    "${as_user[@]}" env DISPLAY="$kwin_display" "$QT_SHARED/bin/x11-owner" "$1" 0 "$2" >"$QT_SHARED/x-owner.txt" 2>&1 &
    X_OWNER=$!
    desk_track_pid "$X_OWNER"
    desk_poll 5 grep -q owner "$QT_SHARED/x-owner.txt" || fail "the X owner did not take the clipboard: $(cat "$QT_SHARED/x-owner.txt")"
}
# KWin hands an X program's copy on to Wayland while an X window has the focus, as where a user copies.
"${as_user[@]}" env DISPLAY="$kwin_display" xlogo >"$DESK_DIR/xlogo.log" 2>&1 &
desk_track_pid $!
xlogo_window() { xdotool search --name '^xlogo$' 2>/dev/null | head -n 1; }
xlogo_shown() { [[ -n "$(xlogo_window)" ]] && desk_window_is_viewable "$(xlogo_window)"; }
desk_poll 10 xlogo_shown || fail "the X window did not show on KWin's X display"
xdotool windowactivate --sync "$(xlogo_window)" 2>/dev/null || true
x_owner "sea salt" public
desk_poll 5 qt_item_tooltip_has "Vorda Dictionary. Look up 'sea salt'" || fail "an X copy did not reach the tooltip: $(qt_item_tooltip)"
x_owner "hunter2" secret
desk_poll 5 qt_item_tooltip_has "No text in clipboard" || fail "an X program's password reached the tooltip: $(qt_item_tooltip)"
desk_clear_browser_log
qt_item_call org.kde.StatusNotifierItem.Activate int32:1200 int32:790 >/dev/null || fail "Activate failed"
qt_expect_nothing_opened "Activate on an X program's password"

step "after the X password, a copy made while a Wayland window is active is shown and looked up"
# KWin hands a Wayland copy on to X only while an X window is active: the X owner keeps its password.
# The window tells it has the focus by copying (KWin 6 refuses a copy made without an input event,
# and here there is none); the copy that counts is then made through data-control.
: "${VORDA_WINDOW_COPY:?the Wayland program that copies from its window}"
install -m 755 "$VORDA_WINDOW_COPY" "$QT_SHARED/bin/window-copy"
"${as_user[@]}" env -u DISPLAY QT_QPA_PLATFORM=wayland "$QT_SHARED/bin/window-copy" "window" >"$DESK_DIR/window-copy.log" 2>&1 &
desk_track_pid $!
desk_poll 10 grep -q copied "$DESK_DIR/window-copy.log" || fail "the Wayland window got no focus: $(cat "$DESK_DIR/window-copy.log")"
qt_wl_copy "sea foam"
desk_poll 5 qt_item_tooltip_has "Vorda Dictionary. Look up 'sea foam'" ||
    fail "a Wayland window's copy after an X password did not reach the tooltip: $(qt_item_tooltip)"
# The road this step is for: the X program still owns the X clipboard with its password.
x_targets=$("${as_user[@]}" env DISPLAY="$kwin_display" timeout 5 xclip -selection clipboard -o -t TARGETS 2>/dev/null || true)
[[ "$x_targets" == *x-kde-passwordManagerHint* ]] ||
    fail "KWin handed the Wayland copy on to X: the X clipboard no longer offers the password's mark: $x_targets"
qt_item_call org.kde.StatusNotifierItem.Activate int32:1200 int32:790 >/dev/null || fail "Activate failed"
qt_expect_opened_once "$(qt_address mnuLookup "sea foam")"

step "a host's ContextMenu: the popup at the point it names, closed by Escape and by a click elsewhere"
desk_clear_browser_log
popup_at() {
    local popup
    popup=$(qt_popup_window)
    [[ -n "$popup" ]] && desk_window_geometry "$popup"
}
qt_item_call org.kde.StatusNotifierItem.ContextMenu int32:1100 int32:30 >/dev/null || fail "ContextMenu failed"
desk_poll 5 qt_popup_is_open || fail "no popup on ContextMenu"
qt_expect_popup_placed "ContextMenu(1100, 30)" 1100 30
read -r popup_x popup_y popup_width popup_height < <(popup_at)
# At the point, moved in only as far as the screen's edge needs; never in the middle of the screen.
((popup_x <= 1100 && popup_x + popup_width >= 1100 - 5 && popup_y <= 40)) ||
    fail "the popup is at $popup_x,$popup_y (${popup_width}x$popup_height), not at 1100,30"
xdotool key Escape
qt_wait_popup_closed
# Near the bottom corner, as a panel at the bottom asks: the popup opens up and left, inside the work area.
qt_item_call org.kde.StatusNotifierItem.ContextMenu int32:1000 int32:745 >/dev/null || fail "ContextMenu failed"
desk_poll 5 qt_popup_is_open || fail "no popup on the second ContextMenu"
qt_expect_popup_placed "ContextMenu(1000, 745)" 1000 745
read -r popup_x popup_y popup_width popup_height < <(popup_at)
((popup_x >= 0 && popup_y >= 0 && popup_x + popup_width <= 1280 && popup_y + popup_height <= 800)) ||
    fail "the popup at $popup_x,$popup_y (${popup_width}x$popup_height) is not wholly on the 1280x800 screen"
# A corner at the point, a pixel off it, so the pointer is never inside.
((popup_x <= 1001 && popup_x + popup_width >= 999 && popup_y <= 746 && popup_y + popup_height >= 745 - 5)) ||
    fail "the popup at $popup_x,$popup_y (${popup_width}x$popup_height) is not at 1000,745"
xdotool mousemove 200 600 click 1
qt_wait_popup_closed
qt_expect_nothing_opened "a popup closed without a choice"
echo "PASS: on KDE Plasma both roads export the menu, Activate and the menu look up, ContextMenu opens the popup at its point"
