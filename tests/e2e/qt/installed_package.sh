#!/usr/bin/env bash
# Inside a fresh minimal Debian root (debian_package.sh makes it): the tests' own tools go in first,
# then the .deb through apt, once with --no-install-recommends and once with apt's default. Each
# time the installed program must start and follow a copy on X11 with a tray (Xvfb, trayer) and on
# Wayland alone (sway without XWayland); as the administrator it writes the machine-wide auto-start
# entry; and purge must leave nothing of the package's, that entry included, in /etc.
#
#     bash tests/e2e/qt/installed_package.sh PACKAGE.deb
set -uo pipefail
package=${1:?the .deb to install}
: "${VORDA_SOURCE_DIR:?the source tree}"
here="$VORDA_SOURCE_DIR/tests/e2e/qt"
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "-- [${SECONDS}s] $*" >&2; }
installed() { [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]; }

# What the program cannot run without, and which dpkg-shlibdeps cannot see (X11's platform plugin
# comes with libqt6gui6, which it does see).
needed=(qt6-wayland xdg-utils)
tools=(xvfb xauth x11-utils trayer xclip xdotool imagemagick procps util-linux man-db
    sway wl-clipboard wtype dbus-daemon dbus-bin)
export DEBIAN_FRONTEND=noninteractive
apt_get() { apt-get -q -y -o DPkg::Lock::Timeout=120 "$@" >>/tmp/apt.log 2>&1 || fail "apt-get $*: $(tail -n 5 /tmp/apt.log)"; }

step "the tests' own tools, without the package"
# shellcheck source=../../../scripts/lib/apt-update.sh
source "$VORDA_SOURCE_DIR/scripts/lib/apt-update.sh"
apt_update >>/tmp/apt.log 2>&1
apt_get install --no-install-recommends "${tools[@]}"

# The desktop checks are the end-to-end tests' own, run on the installed program.
desktop_check() {
    local script=$1
    env VORDA_PROGRAM=/usr/bin/vorda-dictionary VORDA_SCREENSHOT_DIR=/tmp/screenshots \
        bash "$here/$script" || fail "$script, on the program apt installed ($2)"
}

for mode in --no-install-recommends --install-recommends; do
    step "apt-get install $mode ./$(basename "$package")"
    for name in "${needed[@]}"; do
        installed "$name" && fail "$name is here before the package: its dependency would go untested"
    done
    dpkg-query -W -f='${Package}:${Architecture}\n' | sort >/tmp/before-package
    apt_get install "$mode" "$package"
    for name in "${needed[@]}"; do
        installed "$name" || fail "apt-get install $mode did not bring $name"
    done
    [[ -x /usr/bin/vorda-dictionary ]] || fail "no /usr/bin/vorda-dictionary"
    grep -qxF "Exec=/usr/bin/vorda-dictionary" /usr/share/applications/com.vorda.dictionary.desktop ||
        fail "the launcher does not start the installed program"
    [[ "$(man -w vorda-dictionary 2>/dev/null)" == /usr/share/man/man1/vorda-dictionary.1.gz ]] ||
        fail "man does not find the manual page vorda-dictionary(1)"

    step "X11 with a tray: a copy, then a double click"
    desktop_check double_click_looks_up.sh "$mode"
    step "Wayland alone: sway without XWayland, a copy, then the host's activate"
    desktop_check wayland_without_x.sh "$mode"

    step "the administrator's start writes the machine-wide auto-start entry"
    entry=/etc/xdg/autostart/VordaDictionary.desktop
    # Every desktop has the folder; a root this minimal does not.
    mkdir -p /etc/xdg/autostart
    # The program runs until it is ended: it is ended (SIGTERM, as at the session's end, which leaves
    # the entry as it is) once its entry is there, or after two minutes without one.
    rm -f /tmp/program.pid
    xvfb-run -a bash -c 'echo $$ >/tmp/program.pid; exec timeout 120 /usr/bin/vorda-dictionary' >/tmp/program.log 2>&1 &
    session=$!
    deadline=$((SECONDS + 130))
    until grep -qxF 'Exec="/usr/bin/vorda-dictionary"' "$entry" 2>/dev/null || ((SECONDS > deadline)); do
        sleep 0.1
    done
    kill -TERM "$(cat /tmp/program.pid 2>/dev/null)" 2>/dev/null
    wait "$session"
    grep -qxF 'Exec="/usr/bin/vorda-dictionary"' "$entry" ||
        fail "no machine-wide entry starting /usr/bin/vorda-dictionary: $(cat "$entry" /tmp/program.log 2>&1)"
    [[ ! -e /root/.config/autostart/VordaDictionary.desktop ]] || fail "a second entry, in root's own autostart folder"

    step "purge"
    apt_get purge vorda-dictionary
    for file in /usr/bin/vorda-dictionary /usr/share/applications/com.vorda.dictionary.desktop \
        /usr/share/icons/hicolor/256x256/apps/vorda-dictionary.png \
        /usr/share/metainfo/com.vorda.dictionary.metainfo.xml /usr/share/man/man1/vorda-dictionary.1.gz; do
        [[ ! -e "$file" ]] || fail "$file is left after purge"
    done
    left=$(find /etc -iname '*vorda*' 2>/dev/null; grep -rlis -e vorda /etc 2>/dev/null)
    [[ -z "$left" ]] || fail "purge left in /etc: $left"
    # What the package brought goes too, so that the next install starts from the tools alone. (The
    # last install's recommendations may bring an init system, which apt will not take away again.)
    [[ "$mode" == --install-recommends ]] && break
    mapfile -t brought < <(dpkg-query -W -f='${Package}:${Architecture}\n' | sort | comm -13 /tmp/before-package -)
    ((${#brought[@]} == 0)) || apt_get purge "${brought[@]}"
done
echo "PASS: apt installs a working program with and without recommendations; purge leaves nothing in /etc"
