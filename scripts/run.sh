#!/usr/bin/env bash
# Builds the Linux program (build/native, as scripts/test.sh builds it) and starts it.
#
# In a desktop session (DISPLAY or WAYLAND_DISPLAY set) it simply runs there, in the tray. With no
# display (a fresh server, CI) it starts a private X server with a tray host, runs the program there,
# puts a word on the clipboard and writes a screenshot of the tray with the icon and its tooltip.
usage() {
    cat <<'EOF'
usage: bash scripts/run.sh [--screenshot-only]
  (no option)        run the program: in this desktop session if there is one, else on a private
                     X server with a tray host until Ctrl-C, after writing a screenshot of the tray
  --screenshot-only  always use a private X server; exit once the screenshot is written
EOF
}
set -euo pipefail
cd "$(dirname "$0")/.."

screenshot_only=false
case "${1:-}" in
    "") ;;
    --screenshot-only) screenshot_only=true ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
# A first configure leaves the tests out (their packages come with scripts/test.sh); a folder that
# scripts/test.sh configured keeps them.
tests=()
[[ -f build/native/CMakeCache.txt ]] || tests=(-DVORDA_BUILD_TESTS=OFF)
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" >/dev/null
cmake --build build/native -j "$(nproc)" --target vorda-dictionary
program=$PWD/build/native/src/platform/qt/vorda-dictionary

if ! $screenshot_only && [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Starting vorda-dictionary in this desktop session: it lives in the tray; Exit in its menu ends it."
    exec "$program"
fi

# No display of our own: a private one, with everything it starts ended when this script ends.
set +e
work=$PWD/build/native/run
rm -rf "$work"
# shellcheck source-path=SCRIPTDIR source=../tests/e2e/lib/desktop.sh
source tests/e2e/lib/desktop.sh
desk_start "$work/desktop" || exit 1
# The program registers itself to start with the session; here it does so in a folder of its own,
# not in the machine's /etc/xdg/autostart.
export XDG_CONFIG_DIRS=$work/xdg XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_DIRS/autostart"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS

"$program" >"$work/program.log" 2>&1 &
program_pid=$!
desk_track_pid "$program_pid"
icon=$(desk_wait_icon 20) || { cat "$work/program.log" >&2; exit 1; }
echo "No display here: vorda-dictionary runs on a private X server, DISPLAY=$DISPLAY, with the tray host trayer."

# A word on the clipboard and the pointer resting on the icon, so the picture shows the tooltip.
desk_clip_text "serendipity"
read -r x y width height < <(desk_window_geometry "$icon")
xdotool mousemove 20 700 mousemove $((x + width / 2 - 2)) $((y + height / 2)) mousemove_relative 2 0
# The tooltip: a mapped top-level window of the program, one line high.
tooltip_shown() {
    local id
    for id in $(xwininfo -root -children | awk '/\("vorda-dictionary" "vorda-dictionary"\)/ && $(NF - 1) ~ /^[0-9]+x[0-9][0-9]?\+/ { print $1 }'); do
        desk_window_is_viewable "$id" && return 0
    done
    return 1
}
desk_poll 3 tooltip_shown || true
screenshot=$work/tray.png
read -r screen_width _ < <(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[1], size[2] }')
if ! desk_screenshot "$work/tray-actual-size.png" "480x64+$((screen_width - 480))+0" ||
    ! desk_convert "$work/tray-actual-size.png" -filter point -resize 200% "$screenshot"; then
    echo "cannot write the screenshot" >&2
    exit 1
fi
echo "Screenshot of the tray with the icon and its tooltip: $screenshot"
echo "Autostart entry: $XDG_CONFIG_DIRS/autostart; addresses the program opens are listed in $DESK_BROWSER_LOG."

if $screenshot_only; then
    exit 0
fi
echo "Running until Ctrl-C (or Exit in the program's menu)."
wait "$program_pid"
