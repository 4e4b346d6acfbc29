#!/usr/bin/env bash
# Installs Brisvane with its installer under Wine, silently, puts Unix symbolic links into the
# install folder where another program could have put them (a parked folder holding a link to an
# outside file and one to an outside folder, a parked folder's name and a help file's companion
# file that are links), uninstalls silently, and checks that nothing outside the install folder
# was deleted or changed: Wine shows a Unix link to a file as a plain file, and a delete by its
# name deletes what it leads to. Runs in the Wine prefix of WINEPREFIX; prints each check.
#   bash scripts/uninstaller-links.sh build-win64/tools/installer/brisvane-setup.exe
set -euo pipefail
setup="$1"
# shellcheck source=scripts/checks.sh
source "$(dirname "$0")/checks.sh"
drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/Brisvane"
outside="$drive_c/Outside"

echo "-- install: $setup /S"
wine "$setup" /S
wineserver -w
check "installed" test -f "$folder/uninstall.exe"

echo "-- links in the install folder to files and folders outside it"
rm -rf "$outside"
mkdir -p "$outside/folder" "$outside/empty"
echo letter > "$outside/letter.txt"
echo cv > "$outside/folder/cv.txt"
echo notes > "$outside/notes.txt"
chmod 0444 "$outside/letter.txt"
mkdir -p "$folder/57" "$folder/59"
echo x > "$folder/57/page.htm"
ln -s "$outside/letter.txt" "$folder/57/letter-link.txt"
ln -s "$outside/empty" "$folder/59/empty-link"
ln -s "$outside/folder" "$folder/58"
ln -s "$outside/notes.txt" "$folder/brisvan.gid"

echo "-- uninstall: uninstall.exe /S"
wine "C:\\Program Files\\Brisvane\\uninstall.exe" /S
wineserver -w
check "the outside file a parked folder's link led to is there, unchanged and still read-only" \
    test "$(cat "$outside/letter.txt")" = letter -a "$(stat -c %a "$outside/letter.txt")" = 444
check "the outside folder a parked folder's name led to keeps its file" \
    test "$(cat "$outside/folder/cv.txt")" = cv
check "the empty outside folder a link in a parked folder led to is there" test -d "$outside/empty"
check "the outside file the help file's companion led to is there" \
    test "$(cat "$outside/notes.txt")" = notes
check "the program, its help file, the uninstaller and the parked files are gone" \
    test ! -e "$folder/brisvan.exe" -a ! -e "$folder/brisvan.hlp" -a ! -e "$folder/uninstall.exe" \
    -a ! -e "$folder/57/page.htm"
left="$(cd "$folder" && find . -mindepth 1 \( ! -type d -o -type d -empty \) | sort | tr '\n' ' ')"
echo "   left in the install folder: $left"
check "nothing is left in the install folder but the links" \
    test "$left" = "./57/letter-link.txt ./58 ./59/empty-link ./brisvan.gid "
rm -rf "$folder" "$outside"

if [ "$failures" -ne 0 ]; then
    echo "uninstaller and links: $failures check(s) failed" >&2
    exit 1
fi
echo "-- uninstaller and links: every check passed"
