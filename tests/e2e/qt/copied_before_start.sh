#!/usr/bin/env bash
# Text copied before the program starts (as at every session's start, when the user or a clipboard
# manager has copied before the autostart runs) is shown by the first ticks and looked up, on each
# road the clipboard takes: an X owner with an XEmbed tray, the same with a StatusNotifierItem host,
# sway without X (wlr data-control), the tests' own compositor with ext data-control, and weston
# (no data-control: the X display's clipboard). Prints the time from start to the icon and to the
# copy shown: the item's quoted tooltip, or in an XEmbed tray a look-up of it. On the road x11_late
# the X owner does not answer at the start (as in a busy session's first seconds), with a
# StatusNotifierItem host: the read is tried again while the copy stays, a look-up asked for meanwhile
# opens nothing, then or once the copy is read, and the copy is looked up once the owner answers.
#
#   copied_before_start.sh x11|x11_late|status_notifier|sway|ext|weston
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
road=${1:?x11, x11_late, status_notifier, sway, ext or weston}
text="  shore crab "
quoted="Vorda Dictionary. Look up 'shore crab'"

qt_start_desktop
prefix=()
env_prefix=()
case $road in
    x11 | x11_late | status_notifier) ;;
    sway)
        desk_require swaymsg
        qt_start_sway 'xwayland disable'
        env_prefix=(env -u DISPLAY)
        ;;
    ext)
        : "${VORDA_DATA_CONTROL_SERVER:?the compositor of the tests}"
        qt_start_compositor data-control "$VORDA_DATA_CONTROL_SERVER" ext wayland-vorda
        ;;
    weston)
        desk_require weston
        qt_start_compositor weston weston --backend=headless-backend.so --socket=wayland-vorda --idle-time=0
        ;;
    *) fail "unknown road $road" ;;
esac
prefix=("${QT_AS_USER[@]}")
item_road=""
# On x11_late too: the item's tooltip tells when the late copy has been read, which an XEmbed icon
# does not.
[[ "$road" == status_notifier || "$road" == sway || "$road" == x11_late ]] && item_road=1
[[ -n "$item_road" ]] && qt_start_status_notifier_host

step "$road: the text is copied before the start"
case $road in
    x11 | status_notifier | weston) desk_clip_text "$text" ;;
    x11_late)
        desk_clip_text "$text"
        desk_stop "$DESK_CLIP_PID" || fail "the owner did not stop"
        desk_on_cleanup "kill -CONT $DESK_CLIP_PID"
        ;;
    sway)
        qt_wl_copy "$text"
        desk_poll 5 eval '[[ "$("${QT_AS_USER[@]}" wl-paste --no-newline 2>/dev/null)" == "$text" ]]' ||
            fail "wl-paste does not read the copy"
        ;;
    ext)
        qt_wayland_owner "$text"
        ;;
esac

step "$road: the start"
address=$(qt_address mnuLookup "$text")
looked_up() { desk_browser_has "$address"; }
# On a host that reads the item's tooltip, the quoted tooltip; in an XEmbed tray, whose tooltip
# cannot be read here and whose icon is the open book from the start whatever the clipboard holds,
# a double click made as soon as the icon docks, which must look the copy up.
shows_text() {
    if [[ -n "$item_road" ]]; then qt_item_tooltip_has "$quoted"; else looked_up; fi
}
icon_is_there() {
    if [[ -n "$item_road" ]]; then
        [[ -s "$DESK_DIR/items" ]] && QT_ITEM=$(head -n1 "$DESK_DIR/items")
    else
        desk_has_icons 1 && QT_ICON=$(desk_tray_icons | tail -n1) && qt_double_click "$QT_ICON"
    fi
}
if [[ "$road" == x11_late ]]; then
    "${prefix[@]}" "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
    QT_PID=$!
    desk_track_pid "$QT_PID"
    desk_poll 20 icon_is_there || fail "$road: no item after the start"
    step "$road: while the owner does not answer, the copy is not shown and a look-up opens nothing"
    ! shows_text || fail "$road: the item quotes a copy whose owner has not answered"
    qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
    qt_expect_nothing_opened "a look-up while the owner has not answered"
    step "$road: once it answers, the copy is read again; the look-up asked before stays undone"
    kill -CONT "$DESK_CLIP_PID"
    answered=$(desk_now_ms)
    desk_when 5 shows_text || fail "$road: the copy is not shown once its owner answers: $(qt_item_tooltip)"
    echo "$road: shown $((DESK_WHEN - answered)) ms after the owner answered" >&2
    # Now the program has the copy: a look-up asked for while it had none would open it now.
    qt_expect_nothing_opened "the look-up asked for while the owner had not answered, once the copy is read"
    qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
    qt_expect_opened_once "$address"
    echo "PASS: $road: a copy whose owner answers late is read again and looked up"
    exit 0
fi
qt_start_timed "$road" icon_is_there shows_text "${prefix[@]}" "${env_prefix[@]}"

step "$road: a look-up has the text"
if [[ -n "$item_road" ]]; then
    qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
fi
qt_expect_opened_once "$address"
echo "PASS: $road: the text copied before the start is shown, and looked up"
