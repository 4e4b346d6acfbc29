# Sourced by the Windows scripts: makes a fresh Wine prefix in WINEPREFIX (a new temporary
# folder unless set) for running the Windows build, removed again on exit.
# - Wine's own bitmap fonts go into the prefix's Windows\Fonts, so that "MS Sans Serif" is the
#   real bitmap font (from the fonts-wine package) rather than a stand-in.
# - Managed=N: Wine draws the window frames itself, so windows get their Windows 9x frames
#   without a window manager, on a bare virtual display too.
# - No Mono or Gecko: nothing needs them, and without a display nothing would install them.
WINEPREFIX="${WINEPREFIX:-$(mktemp -d "${TMPDIR:-/tmp}/brisvane-wine-XXXXXX")}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
brisvane_wine_cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap brisvane_wine_cleanup EXIT

brisvane_wine_t0=$SECONDS
wineboot -i
wineserver -w
cp /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null
wineserver -w
echo "-- Wine prefix set up in $WINEPREFIX: $((SECONDS - brisvane_wine_t0)) s"
