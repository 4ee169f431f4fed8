#!/usr/bin/env bash
# The launcher icons are the tray's text icon enlarged, pixel for pixel: 48 is its 16-pixel picture
# three times, 64, 128 and 256 its 32-pixel one; the SVG drawn at 32 and at 256 pixels gives the same.
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
need compare
need rsvg-convert
icons=$(deb_root)/usr/share/icons/hicolor
ico=$VORDA_SOURCE_DIR/src/app/resources/text.ico
work=$VORDA_DEB_DIR/icons
mkdir -p "$work"
convert() { if [[ -x /usr/bin/convert ]]; then /usr/bin/convert "$@"; else command convert "$@"; fi; }

# same_pixels EXPECTED ACTUAL WHAT: every pixel, transparency included.
same_pixels() {
    local differ
    differ=$(compare -metric AE "$1" "$2" null: 2>&1)
    [[ "$differ" == 0 ]] || fail "$3: $differ pixels differ from the tray icon's picture"
}
for pair in "48 1" "64 0" "128 0" "256 0"; do
    read -r size picture <<<"$pair"
    convert "${ico}[$picture]" -filter point -resize "${size}x${size}" "$work/expected-$size.png"
    same_pixels "$work/expected-$size.png" "$icons/${size}x${size}/apps/vorda-dictionary.png" "the ${size}-pixel icon"
done
svg=$icons/scalable/apps/vorda-dictionary.svg
rsvg-convert -w 32 -h 32 "$svg" -o "$work/svg-32.png" || fail "rsvg-convert cannot draw the SVG"
rsvg-convert -w 256 -h 256 "$svg" -o "$work/svg-256.png" || fail "rsvg-convert cannot draw the SVG"
convert "${ico}[0]" "$work/expected-32.png"
same_pixels "$work/expected-32.png" "$work/svg-32.png" "the SVG at 32 pixels"
same_pixels "$work/expected-256.png" "$work/svg-256.png" "the SVG at 256 pixels"
finish "launcher icons and SVG are the tray's text icon"
