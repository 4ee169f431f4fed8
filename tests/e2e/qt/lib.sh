# shellcheck shell=bash disable=SC2034 # the QT_ variables are read by the test scripts
# What the Linux program's end-to-end tests share, on top of tests/e2e/lib/desktop.sh: starting the
# program on the private desktop with its own autostart folder, finding its popup, telling its two
# icons apart, and the addresses it should open, from the look-up table the build writes out.
#
# ctest passes VORDA_PROGRAM (the built program), VORDA_SOURCE_DIR, VORDA_SCREENSHOT_DIR and
# VORDA_LOOKUP_ADDRESSES.

set -uo pipefail

: "${VORDA_PROGRAM:?the program to test}"
: "${VORDA_SOURCE_DIR:?the source tree}"
: "${VORDA_SCREENSHOT_DIR:?where screenshots go}"

# shellcheck source-path=SCRIPTDIR source=../lib/desktop.sh
source "$VORDA_SOURCE_DIR/tests/e2e/lib/desktop.sh"

QT_RUN_PROGRAM="$VORDA_PROGRAM"   # the file started, which a test may copy elsewhere
QT_PID=""            # the running program
QT_ICON=""           # its docked icon's window
QT_AUTOSTART=""      # the system autostart folder the program sees
QT_ENTRY=""          # the desktop entry it writes there

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in program trayer xvfb; do
        [[ -n "$DESK_DIR" && -s "$DESK_DIR/$log.log" ]] && sed "s/^/[$log] /" "$DESK_DIR/$log.log" >&2
    done
    QT_FAILED=1
    exit 1
}
step() { echo "-- [${SECONDS}s] $*" >&2; }

# The private desktop, an autostart folder of its own, and no session bus: the program must use the
# XEmbed tray of the private desktop, not a StatusNotifierItem host of the developer's session.
qt_start_desktop() {
    QT_FAILED=""
    # Xvfb resets itself when its last client leaves; a tray host connecting just then is refused.
    # That is the desktop failing, not the program, so it gets one more try.
    local attempt
    for attempt in 1 2; do
        desk_start "$(mktemp -d "${TMPDIR:-/tmp}/vorda-e2e.XXXXXX")" && break
        ((attempt == 2)) && fail "the private desktop did not start in $DESK_DIR"
        echo "the private desktop did not start in $DESK_DIR; once more" >&2
        sed 's/^/[trayer] /' "$DESK_DIR/trayer.log" >&2
        desk_cleanup
        rm -rf "$DESK_DIR"
    done
    # Kept after a failure, for its logs and pictures.
    desk_on_cleanup "[[ -n \"\${QT_FAILED:-}\" ]] || rm -rf '$DESK_DIR'"
    QT_AUTOSTART="$DESK_DIR/xdg/autostart"
    QT_ENTRY="$QT_AUTOSTART/VordaDictionary.desktop"
    mkdir -p "$QT_AUTOSTART"
    export XDG_CONFIG_DIRS="$DESK_DIR/xdg"
    export XDG_RUNTIME_DIR="$DESK_DIR/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$DESK_DIR/no-session-bus"
    mkdir -p "$VORDA_SCREENSHOT_DIR"
}

# qt_start_bare_desktop: the private X server and browser stand-in without a tray host, for a test
# that brings a desktop's own panel or shell; a home, configuration and autostart folder of its own.
qt_start_bare_desktop() {
    QT_FAILED=""
    DESK_DIR=$(mktemp -d "${TMPDIR:-/tmp}/vorda-e2e.XXXXXX")
    trap desk_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    desk_on_cleanup "[[ -n \"\${QT_FAILED:-}\" ]] || rm -rf '$DESK_DIR'"
    desk_start_xvfb || fail "the private X server did not start"
    desk_install_browser
    QT_AUTOSTART="$DESK_DIR/xdg/autostart"
    QT_ENTRY="$QT_AUTOSTART/VordaDictionary.desktop"
    export XDG_CONFIG_DIRS="$DESK_DIR/xdg" XDG_RUNTIME_DIR="$DESK_DIR/runtime" HOME="$DESK_DIR/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
    mkdir -p "$QT_AUTOSTART" "$HOME" "$XDG_RUNTIME_DIR" "$VORDA_SCREENSHOT_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}

# qt_start_program [COMMAND PREFIX...]: starts the program (through the prefix, e.g. setpriv) and
# waits for its icon to dock.
qt_start_program() {
    "$@" "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
    QT_PID=$!
    desk_track_pid "$QT_PID"
    QT_ICON=$(desk_wait_icon 20) || fail "the program's icon did not dock in the tray"
}

# qt_start_timed ROAD APPEARED SHOWN [COMMAND PREFIX...]: starts the program (through the prefix) with
# a text already copied; APPEARED and SHOWN are commands without arguments: its icon or item is
# there, and the copied text is shown (quoted, or looked up). Waits for each, generously (how fast
# they come is the benchmark's to measure, not a loaded machine's to fail), and prints the times
# from the start to each.
qt_start_timed() {
    local road=$1 appeared=$2 shown=$3 started iconed
    shift 3
    started=$(desk_now_ms)
    "$@" "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
    QT_PID=$!
    desk_track_pid "$QT_PID"
    desk_when 20 "$appeared" || fail "$road: no icon and no item after the start"
    iconed=$DESK_WHEN
    desk_when 30 "$shown" || fail "$road: the text copied before the start is not shown 30 s after the icon"
    echo "$road: start to icon $((iconed - started)) ms, to the copied text shown $((DESK_WHEN - started)) ms" >&2
}

# --- A Wayland compositor ------------------------------------------------------------------------

# qt_start_compositor NAME COMMAND...: starts a headless Wayland compositor beside the X display, as
# an unprivileged user when the tests run as the superuser (sway refuses it), and exports
# WAYLAND_DISPLAY. The program is then started as that user too (QT_AS_USER, a command prefix), from
# a copy that user can reach (QT_SHARED).
QT_AS_USER=()
QT_SHARED=""
QT_COMPOSITOR_PID=""
qt_start_compositor() {
    local name=$1
    shift
    [[ -n "$QT_SHARED" ]] || qt_prepare_user_session
    (cd "$QT_SHARED" && exec "${QT_AS_USER[@]}" "$@") >"$DESK_DIR/$name.log" 2>&1 &
    QT_COMPOSITOR_PID=$!
    desk_track_pid "$QT_COMPOSITOR_PID"
    desk_poll 20 qt_wayland_is_up || fail "$name did not start: $(tail -n 5 "$DESK_DIR/$name.log")"
    WAYLAND_DISPLAY=$(qt_wayland_socket)
    export WAYLAND_DISPLAY
}
# qt_start_sway CONFIGURATION [SWAY OPTIONS...]: sway, headless, with no input devices, as
# qt_start_compositor starts a compositor; CONFIGURATION is its whole configuration file.
qt_start_sway() {
    desk_require sway
    printf '%s\n' "$1" >"$DESK_DIR/sway.conf"
    shift
    chmod 644 "$DESK_DIR/sway.conf"
    qt_start_compositor sway env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway "$@" -c "$DESK_DIR/sway.conf"
}
# qt_prepare_user_session: the folders of the compositor's user (home, runtime, the program's copy);
# qt_start_compositor makes them where a test has not already.
qt_prepare_user_session() {
    QT_SHARED=$(mktemp -d "${TMPDIR:-/tmp}/vorda-e2e-wayland.XXXXXX")
    desk_on_cleanup "rm -rf '$QT_SHARED'"
    chmod 755 "$QT_SHARED"
    mkdir -p "$QT_SHARED/bin" "$QT_SHARED/home" "$QT_SHARED/runtime"
    install -m 755 "$VORDA_PROGRAM" "$QT_SHARED/bin/vorda-dictionary"
    QT_RUN_PROGRAM="$QT_SHARED/bin/vorda-dictionary"
    export HOME="$QT_SHARED/home" XDG_RUNTIME_DIR="$QT_SHARED/runtime"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
    chmod 700 "$QT_SHARED/runtime"
    if ((EUID == 0)); then
        chown nobody:nogroup "$QT_SHARED/home" "$QT_SHARED/runtime"
        # The browser stand-in runs as that user too.
        chmod 711 "$DESK_DIR" && chmod 755 "$DESK_DIR/bin" && chmod 666 "$DESK_BROWSER_LOG"
        QT_AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
}
qt_wayland_socket() { find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'wayland-*' -type s -printf '%f\n' | head -n 1; }
qt_sway_socket() { find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'sway-ipc.*.sock' -type s | head -n 1; }
qt_wayland_is_up() { [[ -n "$(qt_wayland_socket)" ]]; }

# qt_wayland_owner [--silent] [--type TYPE]... TEXT [HINT]: a Wayland program of the tests' own
# (tests/e2e/qt/WaylandOwner.cpp) takes the clipboard through data-control, in place of the one before.
QT_WAYLAND_OWNER=""
qt_wayland_owner() {
    : "${VORDA_WAYLAND_OWNER:?the Wayland owner for the tests}"
    local before=$QT_WAYLAND_OWNER
    rm -f "$DESK_DIR/owner.txt"
    "${QT_AS_USER[@]}" "$VORDA_WAYLAND_OWNER" "$@" >"$DESK_DIR/owner.txt" 2>&1 &
    QT_WAYLAND_OWNER=$!
    desk_track_pid "$QT_WAYLAND_OWNER"
    desk_poll 5 grep -q owner "$DESK_DIR/owner.txt" || fail "the owner did not take the clipboard: $(cat "$DESK_DIR/owner.txt")"
    # Only now: the one before going first would leave the clipboard empty for a moment.
    [[ -n "$before" ]] && desk_kill_pid "$before"
}

# --- A StatusNotifierItem host ---------------------------------------------------------------

# qt_start_status_notifier_host: a private session bus with the stand-in watcher
# (tests/e2e/qt/StatusNotifierWatcher.cpp), run as the compositor's user where there is one; exports
# DBUS_SESSION_BUS_ADDRESS. The watcher prints each registered item to $DESK_DIR/items.
qt_start_status_notifier_host() {
    : "${VORDA_SNI_WATCHER:?the stand-in watcher}"
    qt_start_session_bus
    "${QT_AS_USER[@]}" "$VORDA_SNI_WATCHER" >"$DESK_DIR/items" 2>"$DESK_DIR/watcher.log" &
    desk_track_pid $!
    desk_poll 10 qt_bus_has_owner org.kde.StatusNotifierWatcher || fail "the watcher did not take its name"
}
# qt_start_session_bus: a private session bus, as the compositor's user where there is one; exports
# DBUS_SESSION_BUS_ADDRESS.
qt_start_session_bus() {
    desk_require dbus-daemon dbus-send
    "${QT_AS_USER[@]}" dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/session-bus" \
        --print-address=1 >"$DESK_DIR/bus-address" 2>"$DESK_DIR/bus.log" &
    desk_track_pid $!
    desk_poll 10 test -s "$DESK_DIR/bus-address" || fail "the session bus did not start"
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$DESK_DIR/bus-address")
    export DBUS_SESSION_BUS_ADDRESS
}
qt_bus_has_owner() {
    local answer
    answer=$("${QT_AS_USER[@]}" dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null)
    [[ "$answer" == *"boolean true"* ]]
}
# qt_wait_item: waits for the program's item to register and sets QT_ITEM to its bus name.
QT_ITEM=""
qt_wait_item() {
    desk_poll 20 test -s "$DESK_DIR/items" || fail "no item registered with the watcher"
    QT_ITEM=$(head -n1 "$DESK_DIR/items")
}
# A real host's watcher: the items it holds, one bus name a line (a watcher may add the object path).
qt_watcher_items() {
    "${QT_AS_USER[@]}" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null | sed -n 's/^ *string "\([^"/]*\).*"$/\1/p'
}
qt_watcher_holds_program() { [[ "$(qt_watcher_items)" == *"org.kde.StatusNotifierItem-$QT_PID-"* ]]; }
# qt_wait_watcher_item SECONDS: waits until the real host's watcher holds the program's item; sets
# QT_ITEM to its bus name.
qt_wait_watcher_item() {
    desk_poll "$1" qt_watcher_holds_program || fail "the watcher holds no item of the program: $(qt_watcher_items)"
    QT_ITEM=$(qt_watcher_items | grep -m1 "org.kde.StatusNotifierItem-$QT_PID-")
}
# qt_start_program_item [COMMAND PREFIX...]: starts the program (through the prefix) beside a real
# host and waits until the host's watcher holds its item.
qt_start_program_item() {
    "$@" "$QT_RUN_PROGRAM" >>"$DESK_DIR/program.log" 2>&1 &
    QT_PID=$!
    desk_track_pid "$QT_PID"
    qt_wait_watcher_item 20
}
# qt_item_call METHOD ARGS...: a call to the item, as its host makes it.
qt_item_call() {
    "${QT_AS_USER[@]}" dbus-send --session --print-reply --dest="$QT_ITEM" /StatusNotifierItem "$@"
}
qt_item_tooltip() {
    qt_item_call org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:ToolTip 2>/dev/null
}
# The object path of the item's exported menu (com.canonical.dbusmenu); fails where it has none.
qt_item_menu() {
    local answer
    answer=$(qt_item_call org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:Menu 2>/dev/null)
    [[ "$answer" =~ object\ path\ \"(/[^\"]+)\" && "${BASH_REMATCH[1]}" != /NO_DBUSMENU ]] || return 1
    echo "${BASH_REMATCH[1]}"
}
qt_menu_layout() {
    "${QT_AS_USER[@]}" dbus-send --session --print-reply --dest="$QT_ITEM" "$1" com.canonical.dbusmenu.GetLayout \
        int32:0 int32:-1 array:string:
}
# qt_menu_item_id MENU LABEL: the id of the menu item whose label, access key marks taken out, is LABEL.
qt_menu_item_id() {
    local layout
    layout=$(qt_menu_layout "$1") || return 1
    awk -v wanted="$2" '
        $1 == "int32" { id = $2 }
        /string "label"/ { label_next = 1; next }
        label_next && /variant/ {
            label_next = 0
            sub(/^[^"]*"/, ""); sub(/"[^"]*$/, ""); gsub(/_/, "")
            if ($0 == wanted) { print id; found = 1; exit }
        }
        END { exit !found }' <<<"$layout"
}
# qt_menu_click MENU ID: the host's click on an item of the menu.
qt_menu_click() {
    "${QT_AS_USER[@]}" dbus-send --session --print-reply --dest="$QT_ITEM" "$1" com.canonical.dbusmenu.Event \
        "int32:$2" string:clicked variant:int32:0 uint32:0 >/dev/null
}
# qt_item_tooltip_has TEXT: the item's tooltip holds TEXT.
qt_item_tooltip_has() { [[ "$(qt_item_tooltip)" == *"$1"* ]]; }

# qt_wl_copy_file FILE [WL-COPY OPTIONS...], qt_wl_copy TEXT [OPTIONS...]: a Wayland program
# (wl-copy) takes the clipboard, in place of the owner before, and keeps it until the next copy.
qt_wl_copy_file() {
    desk_require wl-copy
    local file=$1
    shift
    [[ -n "$QT_WAYLAND_OWNER" ]] && desk_kill_pid "$QT_WAYLAND_OWNER"
    "${QT_AS_USER[@]}" wl-copy --foreground "$@" <"$file" >>"$DESK_DIR/wl-copy.log" 2>&1 &
    QT_WAYLAND_OWNER=$!
    desk_track_pid "$QT_WAYLAND_OWNER"
}
qt_wl_copy() {
    local text=$1
    shift
    printf '%s' "$text" >"$QT_SHARED/copy.txt" && qt_wl_copy_file "$QT_SHARED/copy.txt" "$@"
}

# qt_expect_no_text_on_spaces SPACES: a Wayland copy of spaces only gives the item's no-text tooltip,
# and activating the item then opens nothing.
qt_expect_no_text_on_spaces() {
    qt_wl_copy "$1"
    desk_poll 5 qt_item_tooltip_has "No text in clipboard" || fail "the item's tooltip: $(qt_item_tooltip)"
    desk_clear_browser_log
    qt_item_call org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "Activate failed"
    qt_expect_nothing_opened "activate on spaces"
}

# The folder the program runs from, as the program itself sees it (/proc/self/exe has no links).
qt_program_folder() { dirname "$(readlink -f "$QT_RUN_PROGRAM")"; }

qt_wait_program_end() {
    desk_poll "$1" desk_is_gone "$QT_PID" || fail "the program is still running after $1 s"
    local status=0
    wait "$QT_PID" 2>/dev/null || status=$?
    ((status == 0)) || fail "the program ended with status $status"
}

# --- The pointer -------------------------------------------------------------------------------

# xdotool's "mousemove --sync" waits some fifteen seconds when the pointer is already where it is
# sent, so the pointer only moves when it is elsewhere.
qt_move_to() {
    local location
    location=$(xdotool getmouselocation)
    if [[ ! "$location" =~ x:([0-9]+)\ y:([0-9]+) ]] || (($1 != BASH_REMATCH[1] || $2 != BASH_REMATCH[2])); then
        xdotool mousemove --sync "$1" "$2"
    fi
}
qt_point_at() {
    local x y width height
    read -r x y width height < <(desk_window_geometry "$1") || fail "window $1 is gone"
    qt_move_to $((x + width / 2)) $((y + height / 2))
}
# Somewhere on the empty desktop, away from the tray.
qt_point_away() { qt_move_to 20 700; }
# Onto the window and a little further, as a hand does: after a click one move does not wake tooltips.
qt_hover() {
    local x y width height
    read -r x y width height < <(desk_window_geometry "$1") || fail "window $1 is gone"
    qt_point_away
    qt_move_to $((x + width / 2 - 2)) $((y + height / 2))
    xdotool mousemove_relative 2 0
}
qt_click() { qt_point_at "$1" && xdotool click 1; }
qt_double_click() { qt_point_at "$1" && xdotool click --repeat 2 --delay 80 1; }
qt_right_click() { qt_point_at "$1" && xdotool click 3; }

# --- The popup ---------------------------------------------------------------------------------

# "ID WIDTH HEIGHT" of each mapped top-level window of the program: popup, tooltip, boxes.
qt_program_windows() {
    local id x y width height
    xwininfo -root -children 2>/dev/null | awk '/\("vorda-dictionary" "vorda-dictionary"\)/ { print $1 }' |
        while read -r id; do
            desk_window_is_viewable "$id" || continue
            read -r x y width height < <(desk_window_geometry "$id") || continue
            echo "$id $width $height"
        done
}
# The popup holds seventeen items; the tooltip is one line.
qt_popup_window() { qt_program_windows | awk '$3 > 150 && !found { print $1; found = 1 }'; }
qt_tooltip_window() { qt_program_windows | awk '$3 < 40 && $2 > 40 && !found { print $1; found = 1 }'; }
qt_tooltip_is_shown() { [[ -n "$(qt_tooltip_window)" ]]; }
qt_popup_is_open() { [[ -n "$(qt_popup_window)" ]]; }
qt_popup_is_closed() { [[ -z "$(qt_popup_window)" ]]; }

# A right click on the icon; the popup must open inside the work area, the pointer outside it.
qt_open_popup() {
    qt_right_click "$QT_ICON" || fail "cannot click the icon"
    desk_poll 5 qt_popup_is_open || fail "the popup did not open on a right click"
    local location
    location=$(xdotool getmouselocation)
    [[ "$location" =~ x:([0-9]+)\ y:([0-9]+) ]] || fail "no pointer location: $location"
    qt_expect_popup_placed "the right click at ${BASH_REMATCH[1]},${BASH_REMATCH[2]}" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
}

# The work area, "X Y WIDTH HEIGHT": the root window's _NET_WORKAREA (its first four numbers, the
# first desktop's: the tests' desktops have one) where it is set, else the whole screen.
qt_work_area() {
    local area
    area=$(xprop -root -notype _NET_WORKAREA 2>/dev/null)
    if [[ "$area" =~ =\ *([0-9]+),\ *([0-9]+),\ *([0-9]+),\ *([0-9]+) ]]; then
        echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} ${BASH_REMATCH[3]} ${BASH_REMATCH[4]}"
    else
        xwininfo -root | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print 0, 0, w, h}'
    fi
}
# qt_two_screens: the X screen shown as two side by side, its left and right halves (RandR
# monitors), as a laptop beside a second screen: Qt then takes no work area from the window manager.
qt_two_screens() {
    desk_require xrandr
    local width height
    read -r width height < <(xwininfo -root | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print w, h}')
    if ! xrandr --setmonitor left "$((width / 2))/169x$height/212+0+0" screen >/dev/null ||
        ! xrandr --setmonitor right "$((width - width / 2))/169x$height/212+$((width / 2))+0" none >/dev/null; then
        fail "cannot show the screen as two"
    fi
    step "two screens: $(xrandr --listmonitors | tail -n +2 | tr -s ' \n' ' ')"
}
# qt_set_work_area_beside_tray EDGE: the work area a window manager derives from the tray host's
# panel along EDGE (trayer --edge): the screen without the panel's strip, as _NET_WORKAREA.
qt_set_work_area_beside_tray() {
    desk_require xprop
    local edge=$1 panel_x panel_y panel_w panel_h screen_w screen_h x=0 y=0 w h
    read -r panel_x panel_y panel_w panel_h < <(desk_window_geometry "$(desk_tray_panel)") || fail "the tray's panel is gone"
    read -r screen_w screen_h < <(xwininfo -root | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print w, h}')
    w=$screen_w h=$screen_h
    case $edge in
        top) y=$panel_h h=$((screen_h - panel_h)) ;;
        bottom) h=$((screen_h - panel_h)) ;;
        left) x=$panel_w w=$((screen_w - panel_w)) ;;
        right) w=$((screen_w - panel_w)) ;;
        *) fail "no such edge: $edge" ;;
    esac
    xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "$x, $y, $w, $h" || fail "cannot set the work area"
    step "work area $x,$y ${w}x$h beside the panel at $panel_x,$panel_y ${panel_w}x$panel_h"
}
# qt_expect_popup_placed WHAT X Y: the open popup lies wholly inside the work area, and the point
# X,Y (the pointer, or the point a host asked for) is not on it. Prints where it is.
qt_expect_popup_placed() {
    local what=$1 at_x=$2 at_y=$3 x y w h area_x area_y area_w area_h
    read -r x y w h < <(desk_window_geometry "$(qt_popup_window)") || fail "$what: the popup is gone"
    read -r area_x area_y area_w area_h < <(qt_work_area)
    echo "$what: the popup at $x,$y ${w}x$h, the work area $area_x,$area_y ${area_w}x$area_h" >&2
    ((x >= area_x && y >= area_y && x + w <= area_x + area_w && y + h <= area_y + area_h)) ||
        fail "$what: the popup at $x,$y ${w}x$h is not inside the work area $area_x,$area_y ${area_w}x$area_h"
    ((at_x < x || at_x >= x + w || at_y < y || at_y >= y + h)) ||
        fail "$what: the popup at $x,$y ${w}x$h covers $at_x,$at_y"
}
qt_wait_popup_closed() { desk_poll 5 qt_popup_is_closed || fail "the popup is still open"; }

# The program's icon docked in some XEmbed tray, wherever the tray keeps it: a window of the program's
# of icon size, mapped.
qt_xembed_icon() {
    xwininfo -root -tree 2>/dev/null | awk '/\("vorda-dictionary" "vorda-dictionary"\)/ {
        if (match($0, /[0-9]+x[0-9]+\+/)) { split(substr($0, RSTART, RLENGTH), f, /[x+]/); if (f[1] <= 32 && f[2] <= 32 && f[1] > 4) print $1 } }' |
        while read -r id; do desk_window_is_viewable "$id" && echo "$id"; done
}
qt_xembed_icon_docked() { [[ -n "$(qt_xembed_icon)" ]]; }

# --- Boxes -------------------------------------------------------------------------------------

# box=$(qt_wait_box) || fail ...: prints the id of the box titled "Vorda Dictionary".
qt_wait_box() { desk_wait_window "Vorda Dictionary" 5; }
qt_window_is_gone() { ! desk_window_is_viewable "$1"; }
qt_wait_window_gone() { desk_poll 5 qt_window_is_gone "$1" || fail "window $1 is still shown"; }

# --- The two icons -----------------------------------------------------------------------------

# The share of pure red in the docked icon: the closed red book has plenty, the open book none. The
# 16 px picture in the middle of a 22x30 icon window is red in a fifteenth of it.
qt_icon_red_share() {
    local file="$DESK_DIR/icon-now.png"
    desk_screenshot "$file" "$QT_ICON" 2>/dev/null || { echo 0; return; }
    desk_share "$file" '(r>0.8 && g<0.2 && b<0.2) ? 1 : 0' || echo 0
}
qt_icon_shows_no_text() { awk -v share="$(qt_icon_red_share)" 'BEGIN { exit !(share > 0.05) }'; }
qt_icon_shows_text() { awk -v share="$(qt_icon_red_share)" 'BEGIN { exit !(share < 0.02) }'; }

qt_wait_text_icon() { desk_poll 5 qt_icon_shows_text || fail "the tray does not show the text icon (open book)"; }
qt_wait_no_text_icon() { desk_poll 5 qt_icon_shows_no_text || fail "the tray does not show the no-text icon (red book)"; }

# --- Addresses ---------------------------------------------------------------------------------

# qt_base_address ITEM: the look-up address of a menu item before the text, from the table the build
# writes out of the program's own (VORDA_LOOKUP_ADDRESSES).
qt_base_address() {
    local address
    address=$(awk -v item="$1" '$1 == item { print $2 }' "${VORDA_LOOKUP_ADDRESSES:?the look-up table}")
    [[ -n "$address" ]] || fail "no row for $1 in $VORDA_LOOKUP_ADDRESSES"
    printf '%s' "$address"
}

# qt_encode TEXT: spaces trimmed at both ends, then every byte of the UTF-8 form outside
# A-Z a-z 0-9 - . _ ~ as %XX.
qt_encode() {
    local text=$1 encoded="" byte
    text=${text#"${text%%[! ]*}"}
    text=${text%"${text##*[! ]}"}
    for byte in $(printf '%s' "$text" | od -An -v -tx1); do
        case $byte in
            3[0-9] | 4[1-9a-f] | 5[0-9a] | 6[1-9a-f] | 7[0-9a] | 2d | 2e | 5f | 7e)
                encoded+=$(printf '%b' "\\x$byte") ;;
            *) encoded+="%${byte^^}" ;;
        esac
    done
    printf '%s' "$encoded"
}

qt_address() { printf '%s%s' "$(qt_base_address "$1")" "$(qt_encode "$2")"; }

# The most characters of a look-up address; a longer one is cut to it (the "longest" row).
qt_longest_address() { qt_base_address longest; }

# qt_expect_cut_look_up ITEM TEXT: the browser was asked, once, for the look-up of TEXT cut to the
# longest address: the start of the whole address, at most that long, and at a whole %XX. Prints
# the address's length.
qt_expect_cut_look_up() {
    local whole line longest
    whole=$(qt_address "$1" "$2")
    longest=$(qt_longest_address)
    desk_poll 10 test -s "$DESK_BROWSER_LOG" || fail "nothing was opened for a text of ${#2} characters"
    sleep "$QT_QUIET_SECONDS"
    (($(desk_browser_count) == 1)) || fail "expected one address, the browser got $(desk_browser_count)"
    line=$(head -n 1 "$DESK_BROWSER_LOG")
    ((${#line} <= longest)) || fail "the address has ${#line} characters, more than $longest"
    [[ "$whole" == "$line"* ]] || fail "the address is not the start of the look-up: ${line:0:120}"
    [[ ! "$line" =~ %[0-9A-F]?$ ]] || fail "the address ends in a split %XX: ...${line: -12}"
    ((${#line} > longest - 12 || ${#line} == ${#whole})) || fail "the address was cut short: ${#line} characters"
    echo "${#line}"
}

# --- The browser stand-in ----------------------------------------------------------------------

# Absence can only be seen by waiting: this long the browser log must stay as it is.
QT_QUIET_SECONDS=1.5

# qt_expect_opened_once ADDRESS: ADDRESS is opened, and nothing else, once, within a few seconds.
qt_expect_opened_once() {
    desk_wait_browser_line "$1" 10 || fail "the browser was not asked for $1"
    sleep "$QT_QUIET_SECONDS"
    local count
    count=$(desk_browser_count)
    ((count == 1)) || fail "expected exactly one address, the browser got $count: $(tr '\n' ' ' <"$DESK_BROWSER_LOG")"
}

qt_expect_nothing_opened() {
    sleep "$QT_QUIET_SECONDS"
    [[ ! -s "$DESK_BROWSER_LOG" ]] || fail "$1: the browser was asked for $(tr '\n' ' ' <"$DESK_BROWSER_LOG")"
}

# --- Evidence ----------------------------------------------------------------------------------

qt_screenshot() { desk_screenshot "$VORDA_SCREENSHOT_DIR/$1.png" "${2:-}" || fail "cannot take screenshot $1"; }

# --- The icon's pixels ---------------------------------------------------------------------------

# qt_write_pictures [SIZE...]: the no-text icon's pictures at every tray size and the SIZEs, as the
# program draws them (its icon tool, VORDA_ICON_TOOL, writes them), as $QT_PICTURES-SIZE.png.
QT_PICTURES=""
qt_write_pictures() {
    : "${VORDA_ICON_TOOL:?the icon tool of the program}"
    mkdir -p "$DESK_DIR/pictures"
    QT_PICTURES="$DESK_DIR/pictures/notext"
    # Every tray size the program makes, as its source lists them.
    local sizes
    sizes=$(sed -n 's/.*kTrayIconSizes{\([0-9, ]*\)};.*/\1/p' "$VORDA_SOURCE_DIR/src/app/IconSizes.h" | tr -d ,)
    [[ -n "$sizes" ]] || fail "no tray sizes in src/app/IconSizes.h"
    # shellcheck disable=SC2086 # one size a word
    "$VORDA_ICON_TOOL" "$VORDA_SOURCE_DIR/src/app/resources/notext.ico" "$QT_PICTURES" $sizes "$@" ||
        fail "the icon tool wrote no pictures"
}
# qt_icon_exact SHOT CROP: the no-text icon on the screenshot SHOT is one of the pictures, pixel for
# pixel, at a whole scale; sets QT_DRAWN to "SIZE SCALE X Y" a line for each picture it is (those
# that differ only in their transparent margin all match), or to why not. Writes the icon to CROP.
QT_DRAWN=""
qt_icon_exact() {
    desk_require python3
    QT_DRAWN=$(python3 "$VORDA_SOURCE_DIR/tests/e2e/qt/icon_pixels.py" "$1" "$QT_PICTURES" "$2" 2>&1)
}

# --- Desktops' own panels ----------------------------------------------------------------------

# qt_start_xfce_panel ROW ICON-SIZE: on a bare desktop, xfce4-panel along the top, ROW pixels high,
# its icons ICON-SIZE pixels (0: as the row allows), holding the tray plugin and nothing else, on a
# session bus of its own (exported); waits until its tray is the StatusNotifierItem watcher.
qt_start_xfce_panel() {
    desk_require xfce4-panel
    local panel_config="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
    mkdir -p "$panel_config"
    cat >"$panel_config/xfce4-panel.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="icon-size" type="uint" value="$2"/>
      <property name="size" type="uint" value="$1"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
    qt_start_session_bus
    xfce4-panel --disable-wm-check >"$DESK_DIR/panel.log" 2>&1 &
    desk_track_pid $!
    desk_poll 20 qt_bus_has_owner org.kde.StatusNotifierWatcher || fail "the panel's tray took no watcher name: $(cat "$DESK_DIR/panel.log")"
}

# qt_start_gnome_shell SCALE: on a bare desktop, GNOME Shell headless on Wayland with XWayland, its
# screen at SCALE times, the AppIndicator extension on, as the compositor's user, with a system bus
# (the shell asks it for logind) and a session bus of its own; exports DISPLAY and XAUTHORITY of its
# X display. Starts the seat helper (gnome_seat_devices.py), whose commands qt_gnome_seat sends.
qt_start_gnome_shell() {
    desk_require gnome-shell gsettings dbus-daemon python3
    local extension=ubuntu-appindicators@ubuntu.com
    [[ -d /usr/share/gnome-shell/extensions/$extension ]] ||
        fail "the AppIndicator extension is missing (Debian package gnome-shell-extension-appindicator)"
    [[ -n "$QT_SHARED" ]] || qt_prepare_user_session
    "${QT_AS_USER[@]}" dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/system-bus" \
        >"$DESK_DIR/system-bus.log" 2>&1 &
    desk_track_pid $!
    desk_poll 10 test -S "$XDG_RUNTIME_DIR/system-bus" || fail "the system bus did not start"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system-bus"
    qt_start_session_bus
    local settings=("${QT_AS_USER[@]}" env GSETTINGS_BACKEND=dconf gsettings set)
    "${settings[@]}" org.gnome.shell disable-user-extensions false || fail "gsettings cannot write the shell's settings"
    "${settings[@]}" org.gnome.shell enabled-extensions "['$extension']"
    "${settings[@]}" org.gnome.desktop.interface scaling-factor "$1"
    # The extension draws every icon a little see-through (240 of 255) unless told otherwise.
    "${settings[@]}" org.gnome.shell.extensions.appindicator icon-opacity 255 || fail "gsettings cannot write the extension's settings"
    unset DISPLAY
    qt_start_compositor gnome-shell env XDG_SESSION_TYPE=wayland gnome-shell --headless --wayland \
        --virtual-monitor 1280x800
    desk_poll 20 qt_gnome_x_display_known || fail "GNOME Shell started no XWayland: $(tail -n 5 "$DESK_DIR/gnome-shell.log")"
    DISPLAY=$(qt_gnome_x_display)
    XAUTHORITY=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -n 1)
    export DISPLAY XAUTHORITY
    desk_poll 20 grep -q "GNOME Shell started" "$DESK_DIR/gnome-shell.log" || fail "GNOME Shell did not finish starting"
    desk_poll 20 qt_bus_has_owner org.kde.StatusNotifierWatcher || fail "the extension's watcher did not come"
    mkfifo "$DESK_DIR/seat.in"
    "${QT_AS_USER[@]}" /usr/bin/python3 "$VORDA_SOURCE_DIR/tests/e2e/qt/gnome_seat_devices.py" 1280 <"$DESK_DIR/seat.in" \
        >"$DESK_DIR/seat.log" 2>&1 &
    desk_track_pid $!
    exec {QT_SEAT_IN}>"$DESK_DIR/seat.in"
    desk_on_cleanup "exec $QT_SEAT_IN>&-"
    desk_poll 10 grep -q ready "$DESK_DIR/seat.log" || fail "no seat helper: $(cat "$DESK_DIR/seat.log")"
}
qt_gnome_x_display() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$DESK_DIR/gnome-shell.log" | head -n 1; }
qt_gnome_x_display_known() { [[ -n "$(qt_gnome_x_display)" ]]; }
# qt_gnome_seat COMMAND...: a command to the seat helper; prints its answer.
qt_gnome_seat() {
    local before
    before=$(wc -l <"$DESK_DIR/seat.log")
    printf '%s\n' "$*" >&"$QT_SEAT_IN"
    desk_poll 30 qt_gnome_seat_answered "$before" || fail "the seat helper did not answer '$*'"
    tail -n 1 "$DESK_DIR/seat.log"
}
qt_gnome_seat_answered() { (($(wc -l <"$DESK_DIR/seat.log") > $1)); }

# qt_start_plasma [bare]: on a bare desktop, KDE Plasma headless (5.27 on Debian 12, 6.3 on Debian
# 13) as the compositor's user: KWin on a virtual 1280x800 output with XWayland, the
# StatusNotifierWatcher of kded (kded5 or kded6, as plasmashell's version asks) and, but for bare,
# plasmashell as the host. Sets QT_KWIN_DISPLAY to KWin's X display and QT_PLASMA_MAJOR. KWin lets
# anyone take its screenshots (qt_kwin_screenshot) where it composites with OpenGL: QT_KWIN_COMPOSE=O2
# (its own choice is Q, QPainter, which takes none).
QT_KWIN_DISPLAY="" QT_KWIN_XAUTHORITY="" QT_PLASMA_MAJOR=""
qt_start_plasma() {
    desk_require kwin_wayland plasmashell dbus-daemon
    # Plasma 5 has kded5, Plasma 6 kded6: the module daemon of the installed Plasma's major version,
    # as its package says (plasmashell 6.3 --version crashes without a display).
    local plasma_version kded as_user
    plasma_version=$(dpkg-query -W -f='${Version}' plasma-workspace 2>/dev/null)
    QT_PLASMA_MAJOR=$(sed -n 's/^\([0-9]*:\)\{0,1\}\([0-9]*\)\..*/\2/p' <<<"$plasma_version")
    [[ -n "$QT_PLASMA_MAJOR" ]] || fail "the plasma-workspace package names no version: '$plasma_version'"
    # A crash of a KDE program would start its crash dialog and wait on it; the test is to fail instead.
    export KDE_DEBUG=1
    kded=kded$QT_PLASMA_MAJOR
    desk_require "$kded"
    [[ -n "$QT_SHARED" ]] || qt_prepare_user_session
    qt_start_session_bus
    as_user=("${QT_AS_USER[@]}")

    step "KWin on a virtual output with XWayland"
    # The packaged binary asks for a file capability that an unprivileged container refuses; a copy has none.
    cp /usr/bin/kwin_wayland "$QT_SHARED/bin/kwin_wayland"
    # KWin hands the displays it made to the programs it starts; this one writes them down, then stays
    # as a session's programs do, until the test ends it (by the pid it leaves).
    # shellcheck disable=SC2016 # expanded by the script it writes
    printf '#!/bin/sh\necho $$ >"$HOME/session-env.pid"\nenv >"$HOME/session-env.new" && mv "$HOME/session-env.new" "$HOME/session-env"\nexec sleep 100000\n' >"$QT_SHARED/bin/session-env"
    chmod 755 "$QT_SHARED/bin/session-env"
    unset DISPLAY
    qt_start_compositor kwin env "KWIN_COMPOSE=${QT_KWIN_COMPOSE:-Q}" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$QT_SHARED/bin/kwin_wayland" \
        --virtual --no-lockscreen --no-global-shortcuts --xwayland --width 1280 --height 800 "$QT_SHARED/bin/session-env"
    desk_poll 20 grep -qs '^DISPLAY=' "$HOME/session-env" || fail "KWin started no XWayland: $(tail -n 5 "$DESK_DIR/kwin.log")"
    QT_KWIN_DISPLAY=$(sed -n 's/^DISPLAY=//p' "$HOME/session-env")
    QT_KWIN_XAUTHORITY=$(sed -n 's/^XAUTHORITY=//p' "$HOME/session-env")
    desk_poll 5 test -s "$HOME/session-env.pid" || fail "the session's stand-in left no pid"
    desk_track_pid "$(cat "$HOME/session-env.pid")"

    local host="plasmashell $QT_PLASMA_MAJOR, the host"
    [[ "${1:-}" == bare ]] && host="no plasmashell"
    step "$kded's watcher and $host"
    "${as_user[@]}" env QT_QPA_PLATFORM=offscreen "$kded" >"$DESK_DIR/kded.log" 2>&1 &
    desk_track_pid $!
    desk_poll 10 qt_bus_has_owner "org.kde.$kded" || fail "$kded did not start: $(tail -n 5 "$DESK_DIR/kded.log")"
    "${as_user[@]}" dbus-send --session --print-reply --dest="org.kde.$kded" /kded "org.kde.$kded.loadModule" \
        string:statusnotifierwatcher >/dev/null || fail "$kded has no statusnotifierwatcher module"
    desk_poll 10 qt_bus_has_owner org.kde.StatusNotifierWatcher || fail "no watcher"
    [[ "${1:-}" == bare ]] && return 0
    qt_start_plasmashell
}
# qt_start_plasmashell [xcb]: plasmashell, the host, on KWin's Wayland or, with xcb, on its XWayland
# (as an X11 client, whose windows X can read back: qt_plasma_screenshot).
qt_start_plasmashell() {
    local platform=(QT_QPA_PLATFORM=wayland)
    [[ "${1:-}" == xcb ]] && platform=(QT_QPA_PLATFORM=xcb "DISPLAY=$QT_KWIN_DISPLAY" "XAUTHORITY=$QT_KWIN_XAUTHORITY")
    "${QT_AS_USER[@]}" env "${platform[@]}" QT_QUICK_BACKEND=software plasmashell >"$DESK_DIR/plasmashell.log" 2>&1 &
    desk_track_pid $!
    desk_poll 40 qt_plasma_host_registered || fail "plasmashell registered no host: $(tail -n 5 "$DESK_DIR/plasmashell.log")"
}
qt_plasma_host_registered() {
    [[ "$("${QT_AS_USER[@]}" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:IsStatusNotifierHostRegistered 2>/dev/null)" == *"boolean true"* ]]
}
# qt_plasma_screenshot FILE: plasmashell's panel, run as an X11 client (qt_start_plasmashell xcb),
# as X reads the panel's window back: the whole screen, the panel in its place, the rest black. FILE
# must be where the compositor's user can write.
qt_plasma_screenshot() {
    local window x y
    window=$(qt_kwin_x xdotool search --onlyvisible --class plasmashell 2>/dev/null | while read -r id; do
        qt_kwin_x xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DOCK && echo "$id"
    done | head -n 1)
    if [[ -z "$window" ]]; then
        { echo "no panel window on $QT_KWIN_DISPLAY:"; qt_kwin_x xwininfo -root -tree | grep -v 'has no name'; } >"$DESK_DIR/plasma-screenshot.log" 2>&1
        return 1
    fi
    read -r x y _ _ < <(qt_kwin_x xwininfo -id "$window" | awk '/Absolute upper-left X:/ {x = $NF} /Absolute upper-left Y:/ {print x, $NF}') || return 1
    qt_kwin_x convert -size 1280x800 xc:black "x:$window" -geometry "+$x+$y" -composite "$1" 2>"$DESK_DIR/plasma-screenshot.log"
}
# qt_compositor_has_render_node: a GPU's render node that the compositor's user may open.
qt_compositor_has_render_node() {
    # shellcheck disable=SC2016 # expanded by that user's shell
    "${QT_AS_USER[@]}" sh -c 'for node in /dev/dri/renderD*; do [ -r "$node" ] && [ -w "$node" ] && exit 0; done; exit 1'
}
# qt_kwin_x COMMAND...: COMMAND as the compositor's user, an X11 client of KWin's XWayland.
# Bounded: a hung X call is to fail the poll, not use up the test's time.
qt_kwin_x() { "${QT_AS_USER[@]}" env "DISPLAY=$QT_KWIN_DISPLAY" "XAUTHORITY=$QT_KWIN_XAUTHORITY" timeout 10 "$@"; }
# qt_kwin_screenshot FILE: the whole of KWin's output as PNG (kwin_screenshot.py); FILE must be
# where the compositor's user can write.
qt_kwin_screenshot() {
    "${QT_AS_USER[@]}" timeout 30 /usr/bin/python3 "$VORDA_SOURCE_DIR/tests/e2e/qt/kwin_screenshot.py" "$1" >>"$DESK_DIR/kwin-screenshot.log" 2>&1
}
