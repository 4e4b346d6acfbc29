# Sourced by the Windows scripts: makes a fresh Wine prefix in WINEPREFIX (a new temporary
# folder unless set) for running the Windows build, removed again on exit.
# - Wine's own bitmap fonts go into the prefix's Windows\Fonts, so that "MS Sans Serif" is the
#   real bitmap font (from the fonts-wine package) rather than a stand-in.
# - Managed=N: Wine draws the window frames itself, so windows get their Windows 9x frames
#   without a window manager, on a bare virtual display too.
# - No Mono or Gecko: nothing needs them, and without a display nothing would install them.
# - No menu builder: it would copy the Start-menu entries and icons that the prefix's set-up
#   and the installer make into the user's own desktop menus (~/.local/share, ~/.config/menus).
#   Off for the prefix's set-up through the environment, for good in the prefix's registry.
WINEPREFIX="${WINEPREFIX:-$(mktemp -d "${TMPDIR:-/tmp}/brisvane-wine-XXXXXX")}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The wineserver keeps its socket in a folder of its own, which outlives the prefix unless
# removed with it: upstream Wine's is /tmp/.wine-UID/server-DEVICE-INODE (the prefix folder's
# numbers, in hex); Debian's Wine makes a folder wine-XXXXXX under TMPDIR instead and names it
# in the prefix's file "wineserver".
mkdir -p "$WINEPREFIX"
read -r brisvane_wine_device brisvane_wine_inode < <(stat -c '%D %i' "$WINEPREFIX")
brisvane_wine_server="$(printf '/tmp/.wine-%s/server-%x-%x' "$(id -u)" "0x$brisvane_wine_device" \
    "$brisvane_wine_inode")"
brisvane_wine_cleanup() {
    wineserver -k 2>/dev/null || true
    local folders=("$WINEPREFIX" "$brisvane_wine_server") name=""
    [ -f "$WINEPREFIX/wineserver" ] && name="$(head -c 64 "$WINEPREFIX/wineserver")"
    case "$name" in
    wine-??????) folders+=("${TMPDIR:-/tmp}/$name") ;;
    esac
    rm -rf "${folders[@]}"
    rmdir "$(dirname "$brisvane_wine_server")" 2>/dev/null || true
}
trap brisvane_wine_cleanup EXIT

brisvane_wine_t0=$SECONDS
wineboot -i
wineserver -w
cp /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null
wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d "" /f > /dev/null
wineserver -w
echo "-- Wine prefix set up in $WINEPREFIX: $((SECONDS - brisvane_wine_t0)) s"
