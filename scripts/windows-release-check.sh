#!/usr/bin/env bash
# Checks a Windows program as it ships: stripped (no symbol table, no debug sections), and with
# its application manifest (data/brisvan.exe.manifest) as resource 1 of type RT_MANIFEST, asking
# to run as the invoker, naming the Windows versions from Vista to 11, and without the Common
# Controls 6 dependency (the program keeps the classic look). Prints each check and its size.
#   bash scripts/windows-release-check.sh build-win32/src/app/brisvan.exe
set -euo pipefail
# shellcheck source=scripts/checks.sh
source "$(dirname "$0")/checks.sh"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

for program in "$@"; do
    echo "-- $program: $(stat -c %s "$program") bytes"
    x86_64-w64-mingw32-objdump -h "$program" > "$scratch/sections"
    check "it carries no debug sections" absent grep -q '\.debug_' "$scratch/sections"
    check "it carries no symbol table" \
        grep -q 'no symbols' <<< "$(x86_64-w64-mingw32-nm "$program" 2>&1)"
    # windres writes the manifest resource back as quoted lines of text.
    x86_64-w64-mingw32-windres -i "$program" -O rc > "$scratch/resources.rc"
    awk '/^1 24 /{ on = 1; next } on && /^END/{ exit } on' "$scratch/resources.rc" > "$scratch/manifest"
    check "its manifest is resource 1 of type RT_MANIFEST (24)" test -s "$scratch/manifest"
    check "the manifest asks to run as the invoker" \
        grep -q 'requestedExecutionLevel level=""asInvoker""' "$scratch/manifest"
    check "the manifest names Windows Vista, 7, 8, 8.1 and 10/11" \
        test "$(grep -c -e e2011457-1546-43c5-a5fe-008deee3d3f0 -e 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
            -e 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 -e 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
            -e 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a "$scratch/manifest")" -eq 5
    check "the manifest asks for no Common Controls 6" \
        absent grep -qi 'Microsoft.Windows.Common-Controls' "$scratch/manifest"
done
[ "$failures" -eq 0 ]
