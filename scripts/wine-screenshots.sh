#!/usr/bin/env bash
# Pictures of Brisvane for Windows under Wine, for the README: the main page, the settings
# dialog and the finish page, as docs/screenshots/wine-*.png. Runs the 64-bit brisvan.exe that
# scripts/windows-tests.sh leaves (BUILD_PREFIX, default "build-win") on a virtual display, in
# a Wine prefix of its own with Wine's bitmap fonts and the classic Windows colours, and
# presses the keys a user would.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh scripts/packages-windows.txt scripts/packages-winhelp-screenshots.txt

program="${BUILD_PREFIX:-build-win}"64/src/app/brisvan.exe
if [ ! -f "$program" ]; then
    echo "$program is missing: run scripts/windows-tests.sh first" >&2
    exit 1
fi

# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh
# The "Windows Standard" scheme of Windows 9x.
while read -r name colour; do
    wine reg add 'HKCU\Control Panel\Colors' /v "$name" /d "$colour" /f > /dev/null
done <<'COLOURS'
ActiveBorder 192 192 192
ActiveTitle 0 0 128
AppWorkspace 128 128 128
Background 0 128 128
ButtonDkShadow 0 0 0
ButtonFace 192 192 192
ButtonHilight 255 255 255
ButtonLight 192 192 192
ButtonShadow 128 128 128
ButtonText 0 0 0
GradientActiveTitle 16 132 208
GradientInactiveTitle 192 192 192
GrayText 128 128 128
Hilight 0 0 128
HilightText 255 255 255
InactiveBorder 192 192 192
InactiveTitle 128 128 128
InactiveTitleText 192 192 192
Menu 192 192 192
MenuText 0 0 0
Scrollbar 192 192 192
TitleText 255 255 255
Window 255 255 255
WindowFrame 0 0 0
WindowText 0 0 0
COLOURS
# Three options ticked, and browser folders set, so that Next runs a (harmless, empty)
# cleaning run and shows the finish page.
for flag in Cookies History Cache; do
    wine reg add 'HKCU\Software\Tessmark\Brisvane\Settings' /v "$flag" /d true /f > /dev/null
done
for value in "IE Cookie" "IE Favorites" "IE History" "IE Cache" "Netscape One" "Netscape Two"; do
    wine reg add 'HKCU\Software\Tessmark\Brisvane\Paths' /v "$value" /d "" /f > /dev/null
done
wineserver -w
mkdir -p docs/screenshots

timeout 300 xvfb-run -a -s "-screen 0 1024x768x24 -ac" bash -c '
    set -e
    wine "$1" &
    # title: the newest visible window with it that is at least 200 pixels high, waiting up to
    # 30 s. The height tells the finish page from the application window, which carries the
    # program'"'"'s name on the taskbar and is never shown on the screen.
    window() {
        local id="" candidate height
        for _ in $(seq 60); do
            for candidate in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
                height="$(xdotool getwindowgeometry --shell "$candidate" 2>/dev/null |
                          sed -n "s/^HEIGHT=//p")"
                [ -n "$height" ] && [ "$height" -ge 200 ] && id="$candidate"
            done
            [ -n "$id" ] && break
            sleep 0.5
        done
        [ -n "$id" ] || { echo "no window \"$1\"" >&2; exit 1; }
        echo "$id"
    }
    # xdotool sends a key to the window with the focus as if typed, to any other as an event
    # of that window alone. A key that opens a modal window moves the focus on its press: let
    # go as an event of the old window, it stays down for the X server, which repeats it into
    # the new one. So it is let go as typed, wherever the focus now is.
    press() { # window, keys
        xdotool keydown --window "$1" "$2"
        sleep 0.05
        xdotool keyup "$2"
    }
    shoot() { # window, picture
        sleep 1
        /usr/bin/import -window "$1" "$2"
        echo "$2"
    }
    main="$(window "Brisvane v1.01")"
    shoot "$main" docs/screenshots/wine-main-page.png
    press "$main" alt+s
    settings="$(window Settings)"
    shoot "$settings" docs/screenshots/wine-settings.png
    press "$settings" alt+c
    press "$main" Return
    finish="$(window Brisvane)"
    shoot "$finish" docs/screenshots/wine-finish-page.png
    wineserver -k
' wine-screenshots "$program"
