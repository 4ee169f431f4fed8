#!/usr/bin/env bash
# The .deb's copyright file gives the project's licence, LICENSE at the root, word for word as the
# paragraph "License: Expat" (lintian checks the file's format).
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
copyright=$(deb_root)/usr/share/doc/vorda-dictionary/copyright
[[ -f "$copyright" ]] || fail_now "no $copyright"
grep -qxF "Files: *" "$copyright" || fail "no paragraph for all files"
# The stand-alone paragraph (it opens with its License line): its lines up to the next empty one,
# without the leading space, a lone dot standing for an empty line.
given=$(awk 'previous == "" && /^License: Expat$/ { inside = 1; next } inside && /^$/ { exit }
    inside { sub(/^ /, ""); if ($0 == ".") $0 = ""; print } { previous = $0 }' "$copyright")
expected=$(sed -n '/^Permission is hereby granted/,$p' "$VORDA_SOURCE_DIR/LICENSE")
[[ -n "$given" && "$given" == "$expected" ]] ||
    fail "the copyright file's Expat licence is not LICENSE's: $(diff <(echo "$expected") <(echo "$given") | head -n 5)"
holder=$(sed -n 's/^Copyright (c) //p' "$VORDA_SOURCE_DIR/LICENSE")
if [[ -z "$holder" ]] || ! grep -qxF "Copyright: $holder" "$copyright"; then
    fail "the copyright file does not name LICENSE's holder, '$holder'"
fi
finish "the copyright file carries LICENSE"
