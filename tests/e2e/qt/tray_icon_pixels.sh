#!/usr/bin/env bash
# The no-text icon as each tray host draws it is the program's picture for the size drawn, pixel for
# pixel: a screenshot of the host, the icon found by its colours, compared with the pictures the
# program's icon tool writes. The host may scale a picture only by a whole number; where the
# picture is transparent it may draw anything.
#
#   tray_icon_pixels.sh trayer HEIGHT   the XEmbed road: trayer docks an icon window HEIGHT high,
#                                       which must show the picture of its own size
#   tray_icon_pixels.sh xfce ROW        xfce4-panel's tray, the panel ROW pixels high, icon size its own
#   tray_icon_pixels.sh gnome SCALE     GNOME Shell's top bar with the AppIndicator extension, at SCALE
#   tray_icon_pixels.sh plasma          Plasma's panel, KWin headless
# Then the program ends, and leaves no icon theme behind (on the hosts of its item; trayer gets none).
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
host=${1:-} size=${2:-}
case $host in
    trayer | xfce | gnome) [[ "$size" =~ ^[0-9]+$ ]] || { echo "usage: $0 trayer HEIGHT | xfce ROW | gnome SCALE | plasma" >&2; exit 2; } ;;
    plasma) ;;
    *) echo "usage: $0 trayer HEIGHT | xfce ROW | gnome SCALE | plasma" >&2; exit 2 ;;
esac
name=$host${size:+-$size}

shot="$DESK_DIR/screen.png"
# shoot FILE: a screenshot of the whole screen the host draws on; set by each host below.
shoot() { desk_screenshot "$1"; }
# What the host must have drawn besides being exact (the XEmbed window's own size), and the sizes
# it may draw besides the tray sizes.
drawn_as_expected() { true; }
more_sizes=()
road=""

case $host in
    trayer)
        DESK_TRAY_COMMAND=(trayer --edge top --align right --widthtype request --height "$size" --transparent false)
        qt_start_desktop
        step "trayer $size px high; the program's icon window docks"
        qt_start_program
        read -r _ _ icon_width icon_height < <(desk_window_geometry "$QT_ICON") || fail "the icon window is gone"
        window_side=$((icon_width < icon_height ? icon_width : icon_height))
        step "the icon window is ${icon_width}x$icon_height"
        qt_wait_no_text_icon
        more_sizes=("$window_side")
        # The picture of the window's own size, unscaled, its square in the middle of the window (as
        # Qt centres an icon: rounded down), read where the window is now.
        drawn_as_expected() {
            local x y w h
            read -r x y w h < <(desk_window_geometry "$QT_ICON") || return 1
            [[ $'\n'"$QT_DRAWN"$'\n' == *$'\n'"$window_side 1 $((x + (w - window_side) / 2)) $((y + (h - window_side) / 2))"$'\n'* ]]
        }
        ;;
    xfce)
        qt_start_bare_desktop
        step "xfce4-panel $size px high, its icon size as the row allows; the program's item on its bus"
        qt_start_xfce_panel "$size" 0
        qt_start_program_item
        ;;
    gnome)
        qt_start_bare_desktop
        step "GNOME Shell at scale $size with the AppIndicator extension; the program's item"
        qt_start_gnome_shell "$size"
        qt_start_program_item "${QT_AS_USER[@]}"
        shot="$QT_SHARED/runtime/screen.png" # the shell writes it as the compositor's user
        shoot() { [[ "$(qt_gnome_seat shot 0 0 $((1280 / size)) $((800 / size)) "$1")" == "shot "* ]]; }
        ;;
    plasma)
        qt_start_bare_desktop
        # KWin takes screenshots only where it composites with OpenGL: KWin 5 on Mesa's software
        # renderer, KWin 6 only on a GPU's render node. Without one, the panel runs as an X11 client of
        # KWin's XWayland, and X reads it back.
        QT_KWIN_COMPOSE=O2 qt_start_plasma bare
        shot="$QT_SHARED/runtime/screen.png" # written as the compositor's user
        if ((QT_PLASMA_MAJOR >= 6)) && ! qt_compositor_has_render_node; then
            road="plasmashell on KWin's XWayland, read back by X"
            qt_start_plasmashell xcb
            shoot() { qt_plasma_screenshot "$1"; }
        else
            road="plasmashell on KWin's Wayland, read back by KWin's screenshot service"
            desk_poll 20 qt_bus_has_owner org.kde.KWin.ScreenShot2 ||
                fail "KWin offers no screenshot service: $(tail -n 5 "$DESK_DIR/kwin.log")"
            qt_start_plasmashell
            shoot() { qt_kwin_screenshot "$1"; }
        fi
        step "$road"
        step "the program's item on Plasma's panel"
        qt_start_program_item "${QT_AS_USER[@]}"
        ;;
esac

qt_write_pictures "${more_sizes[@]}"
crop="$DESK_DIR/icon.png"
exact() { rm -f "$shot" && shoot "$shot" && qt_icon_exact "$shot" "$crop" && drawn_as_expected; }
# Polled: a host may draw the icon a moment after it has it.
exact_in_time=0
desk_poll 15 exact && exact_in_time=1
[[ -f "$crop" ]] && cp "$crop" "$VORDA_SCREENSHOT_DIR/tray-icon-$name.png"
((exact_in_time)) || [[ ! -f "$shot" ]] || cp "$shot" "$VORDA_SCREENSHOT_DIR/tray-screen-$name.png"
((exact_in_time)) || [[ -f "$shot" ]] ||
    fail "$name: the host took no screenshot: $(tail -n 5 "$DESK_DIR"/*screenshot*.log "$DESK_DIR/seat.log" 2>/dev/null)"
((exact_in_time)) || fail "$name: the icon is not the program's picture: $QT_DRAWN (see $VORDA_SCREENSHOT_DIR/tray-icon-$name.png)"
# The item's hosts have an icon theme to look in; trayer has no item, so the program writes none.
step "the program ends as a session ends it: nothing of an icon theme is left"
if [[ "$host" != trayer ]]; then
    [[ -n "$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'vorda-dictionary-*')" ]] || fail "no icon theme in $XDG_RUNTIME_DIR"
fi
kill -TERM "$QT_PID"
qt_wait_program_end 10
left=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'vorda-dictionary-*')
[[ -z "$left" ]] || fail "the program left an icon theme behind: $left"
read -r _ scale _ <<<"$QT_DRAWN"
sizes=$(cut -d' ' -f1 <<<"$QT_DRAWN" | tr '\n' ' ')
echo "PASS ($name): the icon is, pixel for pixel$( ((scale > 1)) && echo " at ${scale}x"), the program's picture of ${sizes% } px (alike but for their margins)${road:+; $road}"
