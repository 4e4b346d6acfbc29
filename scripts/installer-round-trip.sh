#!/usr/bin/env bash
# Installs Brisvane with its installer under Wine, silently, checks what the installation wrote,
# starts the installed program and ticks "Load Brisvane when Windows starts" on its finish page,
# then uninstalls silently and checks that nothing is left but the user's own settings. Runs in
# the Wine prefix of WINEPREFIX on the display of DISPLAY (scripts/windows-tests.sh sets up
# both); prints each check.
#   bash scripts/installer-round-trip.sh build-win64/tools/installer/brisvane-setup.exe
set -euo pipefail
setup="$1"
# shellcheck source=scripts/checks.sh
source "$(dirname "$0")/checks.sh"
# The registry as the installed program sees it: where 32-bit Wine is there too, `wine reg` is
# the 32-bit reg.exe, which in a 64-bit prefix sees the 32-bit view of HKLM\Software, where a
# 64-bit installer and program write nothing.
view=()
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && view=(/reg:64)
reg() { wine reg "$@" "${view[@]}"; }
query() { reg query "$@" 2>/dev/null | tr -d '\r'; }

app_paths='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\brisvan.exe'
run_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
user_run_key='HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Brisvane'
settings_key='HKCU\Software\Tessmark\Brisvane'
drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/Brisvane"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Brisvane"

echo "-- install: $setup /S"
wine "$setup" /S
wineserver -w
check "brisvan.exe and brisvan.hlp are in C:\\Program Files\\Brisvane" \
    test -f "$folder/brisvan.exe" -a -f "$folder/brisvan.hlp" -a -f "$folder/uninstall.exe"
check "the HTML help is beside brisvan.hlp" \
    test -f "$folder/brisvan.htm" -a -f "$folder/brisvan_settings.htm"
check "App Paths default value is the program's full path" \
    grep -q 'REG_SZ *C:\\Program Files\\Brisvane\\brisvan.exe$' <<< "$(query "$app_paths" /ve)"
check "App Paths \"Path\" is the folder without a trailing backslash" \
    grep -q 'Path *REG_SZ *C:\\Program Files\\Brisvane$' <<< "$(query "$app_paths" /v Path)"
check "a Start-menu shortcut" test -f "$menu/Brisvane.lnk"
check "an Add/Remove Programs entry with its uninstaller" \
    grep -q 'uninstall.exe' <<< "$(query "$uninstall_key" /v UninstallString)"

echo "-- start the installed program and tick \"Load Brisvane when Windows starts\""
# Paths set, so that Next runs a cleaning run (over nothing) and shows the finish page.
for value in "IE Cookie" "IE Favorites" "IE History" "IE Cache" "Netscape One" "Netscape Two"; do
    reg add 'HKCU\Software\Tessmark\Brisvane\Paths' /v "$value" /d "" /f > /dev/null
done
wine "C:\\Program Files\\Brisvane\\brisvan.exe" &
program=$!
# An X call on a window that Wine has just unmapped or replaced fails with BadWindow; it is tried
# again rather than ending the script.
x() {
    for _ in 1 2 3 4 5; do
        xdotool "$@" 2>/dev/null && return 0
        sleep 0.3
    done
    return 1
}
# The first visible window captioned exactly so whose outer height (Wine draws the frames
# itself) is at least min_height; waits up to 30 s for one.
find_window() { # caption, min_height
    local id height
    for _ in $(seq 60); do
        for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
            height="$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | sed -n 's/^HEIGHT=//p')"
            [ -n "$height" ] && [ "$height" -ge "$2" ] && { echo "$id"; return; }
        done
        sleep 0.5
    done
}
main="$(find_window "Brisvane v1.01" 300)"
check "the main page is shown" test -n "$main"
x windowactivate --sync "$main" || x windowfocus --sync "$main" || true
x key --window "$main" Return || true
# The progress window is captioned "Brisvane" too and comes first, but it is 114 pixels high;
# the finish page (467 x 325) is shown only once the run has ended and the progress window
# is closed.
finish="$(find_window "Brisvane" 300)"
check "Next ran a cleaning run and showed the finish page" test -n "$finish"
# The finish page gives its check box the focus; space ticks it.
x windowfocus --sync "$finish" || true
x key --window "$finish" space || true
for _ in $(seq 20); do
    query "$run_key" /v Brisvane | grep -q Brisvane && break
    sleep 0.5
done
check "the Run entry \"Brisvane\" names the installed program" \
    grep -q 'Brisvane *REG_SZ *C:\\Program Files\\Brisvane\\brisvan.exe$' <<< "$(query "$run_key" /v Brisvane)"
x key --window "$finish" alt+c || true
for _ in $(seq 30); do kill -0 "$program" 2>/dev/null || break; sleep 0.5; done
check "Close ended the program" absent kill -0 "$program"
kill "$program" 2>/dev/null || true
wineserver -w

echo "-- parked folders left in the install folder: 0 and 57, with files"
mkdir -p "$folder/0/sub" "$folder/57"
echo x > "$folder/0/sub/index.dat"
echo x > "$folder/57/page.htm"
echo "-- the user's own Run entry, as a user whom the system's Run key refused has it"
reg add "$user_run_key" /v Brisvane /d 'C:\Program Files\Brisvane\brisvan.exe' /f > /dev/null
echo "-- uninstall: uninstall.exe /S"
wine "C:\\Program Files\\Brisvane\\uninstall.exe" /S
wineserver -w
check "the install folder is gone, parked folders included" absent test -e "$folder"
check "the Start-menu shortcut is gone" absent test -e "$menu"
check "the App Paths entry is gone" absent reg query "$app_paths"
check "the Run entry is gone" absent reg query "$run_key" /v Brisvane
check "the user's Run entry is gone" absent reg query "$user_run_key" /v Brisvane
check "the Add/Remove Programs entry is gone" absent reg query "$uninstall_key"
check "the user's settings are still there" reg query "$settings_key\\Settings"

if [ "$failures" -ne 0 ]; then
    echo "installer round trip: $failures check(s) failed" >&2
    exit 1
fi
echo "-- installer round trip: every check passed"
