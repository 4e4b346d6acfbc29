#!/usr/bin/env bash
# Draws Wine's help viewer showing brisvan.hlp into docs/screenshots/: winhelp-contents.png
# (WinHelpA HELP_FINDER, the contents topic) and winhelp-context-1.png (HELP_CONTEXT 1, the
# settings topic), on a virtual display and in a Wine prefix of its own. Uses the builds that
# scripts/windows-tests.sh leaves (BUILD_PREFIX, default "build-win"): run that first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh scripts/packages-windows.txt scripts/packages-winhelp-screenshots.txt

prefix="${BUILD_PREFIX:-build-win}"
check="$prefix"64/tests/helpwriter/winhelp_viewer_check.exe
help="$prefix"-host/winhelp/brisvan.hlp
for file in "$check" "$help"; do
    if [ ! -f "$file" ]; then
        echo "$file is missing: run scripts/windows-tests.sh first" >&2
        exit 1
    fi
done

WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/brisvane-wine-XXXXXX")"
pictures="$(mktemp -d)"
# No menu builder: it would copy the prefix's Start-menu entries into the user's own menus.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$pictures"
}
trap cleanup EXIT
wineboot -i
# The virtual display has no window manager: Wine draws the title bars itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
wineserver -w

# A display open to any client: behind xvfb-run's access control Wine's X driver fails to
# connect.
help_file="$(winepath -w "$help")"
folder="$(winepath -w "$pictures")"
wineserver -k
timeout 300 xvfb-run -a -s "-screen 0 1024x768x24 -ac" \
    sh -c 'wine "$1" "$2" "$3"; status=$?; wineserver -k; exit $status' viewer-check \
    "$check" "$help_file" "$folder"
mkdir -p docs/screenshots
for name in contents context-1; do
    # ImageMagick's own convert, whatever else PATH holds under that name.
    /usr/bin/convert "$pictures/help-$name.bmp" "docs/screenshots/winhelp-$name.png"
    echo "docs/screenshots/winhelp-$name.png"
done
