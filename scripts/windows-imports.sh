#!/usr/bin/env bash
# Checks that the 32-bit programs load on Windows XP: their PE headers ask for no newer system
# than 5.1, and every function they import is in tools/installer/allowed-imports.txt, whose
# entries each give the oldest Windows that documents the call (none newer than XP). A call that
# XP's DLLs lack would stop the program loading there at all, so each new one must be looked up
# and added to the list by hand. Prints every import with its verdict.
#   bash scripts/windows-imports.sh build-win32/src/app/brisvan.exe \
#       build-win32/tools/installer/brisvane-setup.exe
set -euo pipefail
allowed="$(dirname "$0")/../tools/installer/allowed-imports.txt"
objdump=i686-w64-mingw32-objdump
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# The allowed list itself: "dll function oldest-windows note...", the oldest no newer than XP.
while read -r dll function oldest _; do
    case "$oldest" in
    95 | NT4 | 2000 | XP) ;;
    *) fail "$allowed: $dll $function: oldest Windows \"$oldest\" is not 95, NT4, 2000 or XP" ;;
    esac
done < <(sed 's/#.*//' "$allowed" | awk 'NF')
declare -A allowed_calls=()
while read -r call; do
    allowed_calls["$call"]=1
done < <(sed 's/#.*//' "$allowed" | awk 'NF { print tolower($1), $2 }')

imports() { # program: "dll function" per import, the DLL in lower case; "dll #N" by ordinal
    "$objdump" -p "$1" | awk '
        /^\tDLL Name:/ { dll = tolower($3); next }
        /^$/ { dll = "" }
        dll != "" && /^\t[0-9a-f]+\t/ {
            if (NF >= 3) print dll, $3; else print dll, "#" $2
        }'
}

header_version() { # program, field name
    "$objdump" -p "$1" | awk -v field="$2" '$1 == field { print $2 }'
}

for program in "$@"; do
    [ -f "$program" ] || { fail "$program is missing"; continue; }
    os="$(header_version "$program" MajorOSystemVersion).$(header_version "$program" MinorOSystemVersion)"
    sub="$(header_version "$program" MajorSubsystemVersion).$(header_version "$program" MinorSubsystemVersion)"
    echo "-- $program: PE header OS version $os, subsystem version $sub"
    for version in "$os" "$sub"; do
        case "$version" in
        4.0 | 4.10 | 4.90 | 5.0 | 5.1) ;;
        *) fail "$program asks for Windows $version, newer than XP (5.1)" ;;
        esac
    done
    count=0
    while read -r call; do
        count=$((count + 1))
        if [ -n "${allowed_calls["$call"]:-}" ]; then
            echo "   ok   $call"
        else
            echo "   NEW  $call"
            fail "$program imports $call, which $allowed does not list"
        fi
    done < <(imports "$program")
    [ "$count" -gt 0 ] || fail "$program: no imports found (not a PE program?)"
    echo "-- $program: $count imports"
done

[ "$failed" -eq 0 ] || exit 1
echo "-- every import is one that Windows XP has"
