#!/usr/bin/env bash
# Dictionary.exe carries the project's own icons (the text icon as the first group, so it is the
# program's icon), the version block and the manifest:
#   check_resources.sh EXE RESOURCES_DIR WORK_DIR
set -euo pipefail
exe=$1
resources=$2
work=$3
mkdir -p "$work"
status=0
fail() { echo "FAIL: $*"; status=1; }

command -v wrestool >/dev/null || { fail "wrestool: not installed; scripts/install-deps.sh --test installs it from icoutils"; exit 1; }
listing=$(wrestool -l "$exe")
echo "$listing"

# The first icon group (the program's icon) is text.ico, the second notext.ico, byte for byte.
groups=$(grep -- '--type=14' <<<"$listing" | sed -n 's/.*--name=\([^ ]*\).*/\1/p')
[[ "$(head -n1 <<<"$groups")" == 1 ]] || fail "the first icon group is not number 1"
for pair in "1 text.ico" "2 notext.ico"; do
    read -r name file <<<"$pair"
    wrestool -x --type=14 --name="$name" "$exe" -o "$work/group$name.ico" || fail "no icon group $name"
    cmp -s -n 1078 "$work/group$name.ico" "$resources/$file" || fail "icon group $name is not $file"
    [[ $(stat -c %s "$resources/$file") == 1078 ]] || fail "$file is not 1078 bytes"
done

# The version block: fixed numbers 1.0.0.0, U.S. English with the Unicode code page, and its texts.
wrestool -x --raw --type=16 --name=1 "$exe" -o "$work/version.bin" || fail "no version block"
hex=$(od -An -tx1 -v "$work/version.bin" | tr -d ' \n')
# VS_FIXEDFILEINFO: signature, structure version, file version 1.0 0.0, product version 1.0 0.0
grep -q 'bd04effe''00000100''00000100''00000000''00000100''00000000' <<<"$hex" || fail "fixed version numbers are not 1.0.0.0"
texts=$(iconv -c -f UTF-16LE -t UTF-8 "$work/version.bin" | tr -c '[:print:]' '\n' | grep -v '^$' || true)
expect_pair() {
    if [[ "$(grep -x -A1 -- "$1" <<<"$texts" | sed -n 2p)" != "$2" ]]; then
        fail "version block: $1 is not \"$2\""
    fi
}
grep -qx 040904B0 <<<"$texts" || fail "version block: no string table 040904B0"
expect_pair ProductName Dictionary
expect_pair InternalName Dictionary
expect_pair OriginalFilename Dictionary.exe
expect_pair FileVersion 1.00
expect_pair ProductVersion 1.00
grep -q '0904b004' <<<"$hex" || fail "version block: translation is not 0409 04B0"

# The manifest runs the program as the user who starts it.
wrestool -x --raw --type=24 --name=1 "$exe" -o "$work/manifest.xml" || fail "no manifest"
grep -q 'requestedExecutionLevel level="asInvoker"' "$work/manifest.xml" || fail "the manifest does not ask for asInvoker"

# What a current Windows program's manifest carries: the UTF-8 code page for its narrow texts,
# per-monitor DPI awareness (v2, then v1), the common controls 6 for the input box's visual style,
# and the Windows versions it was made for, up to 10 and 11.
manifest=$(tr -s ' \n' ' ' <"$work/manifest.xml")
expect_in_manifest() { grep -qF -- "$1" <<<"$manifest" || fail "the manifest has no $2"; }
expect_in_manifest '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>' "UTF-8 code page"
expect_in_manifest '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>' "per-monitor DPI awareness"
expect_in_manifest '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' "DPI awareness for Windows 8.1"
expect_in_manifest 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "common controls 6 dependency"
expect_in_manifest 'publicKeyToken="6595b64144ccf1df"' "common controls key"
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
    1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    expect_in_manifest "<supportedOS Id=\"{$os}\"/>" "supportedOS $os"
done
command -v xmllint >/dev/null || fail "xmllint: not installed; scripts/install-deps.sh --test installs it from libxml2-utils"
xmllint --noout "$work/manifest.xml" 2>/dev/null || fail "the manifest is not well-formed XML"

((status == 0)) && echo "PASS: icons, version block and manifest"
exit "$status"
