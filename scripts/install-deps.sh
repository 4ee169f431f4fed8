#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
#     bash scripts/install-deps.sh [--peers]
# --peers adds the programs the benchmarks measure ours against.
set -euo pipefail

packages=(
    cmake g++ make pkgconf python3
    clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    libxcb1-dev libxcb-xfixes0-dev libsm-dev libice-dev libwayland-dev libwayland-bin
    dbus-daemon xdg-utils desktop-file-utils dpkg-dev
    wine wine32:i386 wine64
    xvfb xauth x11-utils x11-apps trayer xclip xdotool imagemagick icoutils
    sway wl-clipboard weston xwayland qt6-wayland wtype
)
if [[ "${1:-}" == --peers ]]; then
    packages+=(goldendict copyq)
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
elif [[ -n "${need_update:-}" ]]; then
    apt-get update -q
fi
