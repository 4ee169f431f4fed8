# shellcheck shell=bash
# apt_update: "apt-get update", tried again while a mirror caught mid-sync serves an index of the
# wrong size (a minute or so). An index that stays broken may be one that nothing needs, so it then
# goes on with the indexes apt has; the install that follows says if one was needed.
apt_update() {
    local attempt
    for attempt in 1 2 3 4; do
        apt-get update -q && return 0
        ((attempt < 4)) && { echo "apt-get update failed; again in 30 s" >&2; sleep 30; }
    done
    echo "apt-get update kept failing; going on with the indexes apt has" >&2
}
