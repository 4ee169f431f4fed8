#!/usr/bin/env bash
# The .deb (made by cpack in the packaging tests' fixture, tests/packaging/make_deb.sh) as users
# install it: with apt, into a fresh minimal root of this machine's Debian release that has nothing
# of the build's, with apt's default and with --no-install-recommends. What is tried there is in
# installed_package.sh; this machine's own packages are left as they are.
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
: "${VORDA_DEB_DIR:?the folder of the .deb that the packaging tests made}"
: "${VORDA_BUILD_DIR:?the build folder, for the test helpers}"
if ((EUID != 0)); then
    echo "SKIP: a fresh root needs the superuser (debootstrap, mounts, chroot)" >&2
    exit 77
fi
desk_require debootstrap

package=$(find "$VORDA_DEB_DIR" -maxdepth 1 -name 'vorda-dictionary_*.deb' | head -n 1)
[[ -n "$package" ]] || fail "no vorda-dictionary_*.deb in $VORDA_DEB_DIR"
depends=$(dpkg-deb -f "$package" Depends)
for name in libqt6widgets6 qt6-wayland xdg-utils; do
    [[ "$depends" == *"$name"* ]] || fail "the package does not depend on $name: '$depends'"
done
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[[ -n "$release" ]] || fail "this machine's Debian release has no code name in /etc/os-release"

# The tree, the build (its helpers and the look-up table) and the .deb, read-only at the same paths.
binds=()
for folder in "$VORDA_SOURCE_DIR" "$VORDA_BUILD_DIR" "$(dirname "$package")"; do
    folder=$(realpath "$folder")
    for bound in "${binds[@]}"; do
        [[ "$folder/" == "$bound/"* ]] && continue 2
    done
    binds+=("$folder")
done
bind_options=()
for folder in "${binds[@]}"; do bind_options+=(--bind "$folder"); done

step "a fresh Debian $release root: the package, installed by apt, and tried there"
# The downloads are kept where this machine's apt keeps its own, which serves the same release.
VORDA_FRESH_ROOT_ARCHIVES=/var/cache/apt/archives \
    bash "$VORDA_SOURCE_DIR/scripts/fresh-root.sh" "${bind_options[@]}" "$release" -- \
    env VORDA_SOURCE_DIR="$VORDA_SOURCE_DIR" VORDA_LOOKUP_ADDRESSES="$VORDA_LOOKUP_ADDRESSES" \
    VORDA_SNI_WATCHER="$VORDA_SNI_WATCHER" \
    bash "$VORDA_SOURCE_DIR/tests/e2e/qt/installed_package.sh" "$(realpath "$package")" ||
    fail "the package as apt installs it, in a fresh root (exit status $?)"
echo "PASS: apt installs a working program on X11 and on Wayland alone, with or without recommendations, and purge leaves nothing in /etc"
