#!/usr/bin/env bash
# Installs the Debian packages that are missing, of one of four sets:
#     bash scripts/install-deps.sh             building and running the Linux program (scripts/run.sh)
#     bash scripts/install-deps.sh --package   and making the downloads (scripts/package.sh)
#     bash scripts/install-deps.sh --test      and the tests: Wine, the compositors, shells and panels,
#                                              the checks of the downloads (scripts/test.sh)
#     bash scripts/install-deps.sh --peers     and the programs the benchmarks measure ours against
#
# Debian 12 (bookworm) and 13 (trixie) are tested; another release gets trixie's names.
set -euo pipefail

release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
case $release in
    bookworm | trixie) ;;
    *) echo "install-deps: Debian ${release:-of unknown name} is not tested here; using trixie's package names" >&2 ;;
esac

# Building the Linux program (the icon script runs at build time) and running it: Qt's Wayland
# platform, and xdg-open for the look-ups.
run_packages=(
    cmake g++ make pkgconf python3
    qt6-base-dev qt6-wayland libxcb1-dev libxcb-xfixes0-dev libwayland-dev libwayland-bin
    xdg-utils
    # Where there is no display: a private X server, a tray host, a word on the clipboard and a picture
    xvfb xauth x11-utils trayer xclip xdotool imagemagick
)
# The .deb's dependencies are found by dpkg-shlibdeps; Dictionary.exe is cross-built, its setup made
# by makensis.
package_packages=(dpkg-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 nsis)
test_packages=(
    clang libclang-rt-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    libsm-dev libice-dev
    dbus-daemon dbus-bin desktop-file-utils
    wine wine32:i386 wine64 icoutils libxml2-utils
    sway wl-clipboard weston xwayland wtype x11-apps x11-xserver-utils
    # The desktops' own shells and panels, and what drives them headless: a screenshot of sway, GNOME's
    # remote-desktop keyboard (from Python), its settings (gsettings)
    gnome-shell gnome-shell-extension-appindicator kwin-wayland plasma-workspace plasma-desktop
    kactivitymanagerd xfce4-panel waybar grim python3-gi libglib2.0-bin dconf-gsettings-backend
    # The downloads' checks: lintian, AppStream, the manual page, the SVG icon, the setup's contents
    lintian appstream man-db groff-base librsvg2-bin 7zip
    # The package as apt installs it, tried in a fresh root of the release
    debootstrap
)
# Where the releases differ: KDE's module daemon (kded5 for Plasma 5, kded6 for Plasma 6) and
# plasmashell's Wayland platform (Qt 5's for Plasma 5; Plasma 6's is qt6-wayland, above).
case $release in
    bookworm) test_packages+=(kded5 qtwayland5) ;;
    *) test_packages+=(kded6) ;;
esac
peer_packages=(goldendict copyq)

packages=("${run_packages[@]}")
case "${1:-}" in
    "") ;;
    --package) packages+=("${package_packages[@]}") ;;
    --test) packages+=("${package_packages[@]}" "${test_packages[@]}") ;;
    --peers) packages+=("${package_packages[@]}" "${test_packages[@]}" "${peer_packages[@]}") ;;
    *) echo "usage: bash scripts/install-deps.sh [--package | --test | --peers]" >&2; exit 2 ;;
esac

# Only the 32-bit Wine needs the i386 architecture.
if [[ " ${packages[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

# shellcheck source=lib/apt-update.sh
source "$(dirname "$0")/lib/apt-update.sh"

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt_update
    if ! apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"; then
        # The 32-bit packages must match the 64-bit ones' versions to the last update; only where apt
        # says the mirror cannot give that does the test command drive the 64-bit Windows build instead.
        native=()
        for package in "${missing[@]}"; do [[ "$package" == *:i386 ]] || native+=("$package"); done
        ((${#native[@]} < ${#missing[@]})) || exit 1
        # shellcheck source=lib/wine32-road.sh
        source "$(dirname "$0")/lib/wine32-road.sh"
        if report=$(LC_ALL=C apt-get install -s -q --no-install-recommends "${missing[@]}" 2>&1); then
            echo "install-deps: the install failed, though apt can resolve every package: see its errors above" >&2
            exit 1
        fi
        mapfile -t names < <(unmet_package_names <<<"$report")
        queries=()
        for name in "${names[@]}"; do queries+=("$name:i386" "$name"); done
        policy=
        ((${#queries[@]} == 0)) || policy=$(LC_ALL=C apt-cache policy "${queries[@]}" 2>/dev/null) || true
        if ! mismatches=$(i386_version_mismatches "${names[@]}" <<<"$policy"); then
            echo "install-deps: the install failed, and not because the 32-bit packages are at other versions than the 64-bit ones: see apt's errors above" >&2
            exit 1
        fi
        echo "install-deps: the mirror has the 32-bit packages at other versions than the 64-bit ones:" \
            "${mismatches//$'\n'/, }; the Windows tests will take the 64-bit road" >&2
        apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${native[@]}"
    fi
elif [[ -n "${need_update:-}" ]]; then
    apt_update
fi
