#!/usr/bin/env bash
# Runs a command as a new contributor's machine would: in a clean clone of the committed checkout,
# inside a minimal Debian root of the given release, as root, with CI=true and no display.
#
#     bash scripts/fresh-root.sh bookworm -- bash scripts/test.sh      # Debian 12
#     bash scripts/fresh-root.sh trixie -- bash scripts/run.sh --screenshot-only
#     bash scripts/fresh-root.sh --keep trixie -- true                 # keeps the root to look in
#     bash scripts/fresh-root.sh --bind "$PWD" bookworm -- bash tests/...  # this tree as it is
#
# --bind DIR (repeatable) shows the folder DIR, read-only, at the same path inside the root; the bound
# folders then stand in for the clone, and the command runs in the first of them. A test uses it to
# try what it built on a machine that has nothing else.
# The root is made once per release with debootstrap (--variant=minbase, from the mirror apt uses
# here) and kept as a pristine tarball in $VORDA_FRESH_ROOT_STORE (default /var/tmp/vorda-fresh-root);
# every run unpacks a new copy, so nothing one run installs reaches the next, and nothing installed on
# this machine reaches the command. Downloaded .deb files are kept between runs (apt's archive folder
# is shared), which saves the downloads but installs every package anew. Exit status: the command's;
# 2 when the root could not be made; 3 when the command passed but left processes running in the root
# (a test that does not end what it starts), which are named and ended.
set -euo pipefail

usage() { echo "usage: bash scripts/fresh-root.sh [--keep] [--bind DIR]... RELEASE -- COMMAND..." >&2; exit 2; }
keep=0
binds=()
while [[ "${1:-}" == --* && "${1:-}" != -- ]]; do
    case $1 in
        --keep) keep=1; shift ;;
        --bind) [[ "${2:-}" == /* && -d "${2:-}" ]] || usage; binds+=("$(realpath "$2")"); shift 2 ;;
        *) usage ;;
    esac
done
release=${1:-}
[[ "$release" =~ ^[a-z]+$ ]] || usage
shift
[[ "${1:-}" == -- ]] && shift
(($#)) || usage
((EUID == 0)) || { echo "fresh-root: needs root (debootstrap, mounts, chroot)" >&2; exit 2; }

store=${VORDA_FRESH_ROOT_STORE:-/var/tmp/vorda-fresh-root}
pristine=$store/$release.tar
# Downloaded .deb files, for debootstrap and for apt in every root of the release.
archives=${VORDA_FRESH_ROOT_ARCHIVES:-$store/$release-archives}
mkdir -p "$store" "$archives/partial"

apt_mirror() {
    sed -n 's/^URIs: *//p; s/^deb  *\(\[[^]]*\] *\)\{0,1\}\(http[^ ]*\) .*/\2/p' \
        /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | grep -v -- -security | head -n 1
}

make_pristine() {
    local mirror build
    mirror=$(apt_mirror)
    [[ -n "$mirror" ]] || { echo "fresh-root: apt's sources name no Debian mirror" >&2; return 1; }
    if ! command -v debootstrap >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends \
            debootstrap >/dev/null
    fi
    build=$store/build-$release.$$
    rm -rf --one-file-system "$build"
    echo "fresh-root: making a minimal Debian $release with debootstrap from $mirror (kept for later runs)"
    if ! debootstrap --variant=minbase --include=ca-certificates --cache-dir="$archives" "$release" "$build" "$mirror" \
        >"$store/debootstrap-$release.log" 2>&1; then
        echo "fresh-root: debootstrap failed; see $store/debootstrap-$release.log" >&2
        rm -rf --one-file-system "$build"
        return 1
    fi
    # An installed machine also has the release's updates and security fixes.
    cat >"$build/etc/apt/sources.list" <<EOF
deb $mirror $release main
deb $mirror $release-updates main
deb ${mirror%/debian}/debian-security $release-security main
EOF
    tar -C "$build" -cf "$pristine.part" . && mv "$pristine.part" "$pristine"
    rm -rf --one-file-system "$build"
}
[[ -s "$pristine" ]] || make_pristine || exit 2

root=$(mktemp -d "$store/$release-run.XXXXXX")
mounts=()
mount_in() {   # mount_in TARGET MOUNT-ARGUMENTS...
    local target=$root/$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounts+=("$target")
}
processes_inside() {
    local proc
    for proc in /proc/[0-9]*; do
        [[ "$(readlink "$proc/root" 2>/dev/null)" == "$root" ]] && echo "${proc#/proc/}"
    done
    return 0
}
# What the command left running in the root is a fault of the command's; it is named, then ended.
end_leftovers() {
    local pid found=1
    for pid in $(processes_inside); do
        echo "fresh-root: still running in the root, ended: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-120)" >&2
        kill -KILL "$pid" 2>/dev/null || true
        found=0
    done
    return "$found"
}
clean_up() {
    local i
    end_leftovers || true
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" 2>/dev/null || true
    done
    if findmnt -rn -o TARGET | grep -q -F "$root"; then
        echo "fresh-root: $root still has mounts; left in place, not deleted" >&2
    elif ((keep)); then
        echo "fresh-root: kept $root (chroot into it after mounting proc, sys and dev again)"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

tar -C "$root" -xf "$pristine"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in proc -t proc proc
mount_in sys --rbind /sys
mount --make-rslave "$root/sys"
mount_in dev --rbind /dev
mount --make-rslave "$root/dev"
mount_in tmp -t tmpfs -o mode=1777 tmpfs
mount_in run -t tmpfs -o mode=755 tmpfs
mount_in var/cache/apt/archives --bind "$archives"

if ((${#binds[@]})); then
    for folder in "${binds[@]}"; do
        mount_in "${folder#/}" --bind "$folder"
        mount -o remount,bind,ro "$root$folder"
    done
    workdir=${binds[0]}
    echo "fresh-root: Debian $release, with ${binds[*]} as they are: $*"
else
    checkout=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
    project=$(basename "$checkout")
    git clone -q --no-hardlinks "$checkout" "$root/work/$project"
    [[ -d "$checkout/../shared" ]] && cp -a "$checkout/../shared" "$root/work/shared"
    workdir=/work/$project
    echo "fresh-root: Debian $release, a clean clone of $(git -C "$checkout" rev-parse --short HEAD): $*"
fi
status=0
chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 TERM=dumb CI=true /bin/bash -c 'cd "$0" && exec "$@"' "$workdir" "$@" </dev/null || status=$?
# A moment for what was ending anyway (a bus's last clients) before anything counts as left behind.
sleep 2
if end_leftovers && ((status == 0)); then
    status=3
fi
echo "fresh-root: Debian $release: exit status $status"
exit "$status"
