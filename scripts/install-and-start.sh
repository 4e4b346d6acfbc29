#!/usr/bin/env bash
# Sets up Brisvane on a Debian 12 machine and starts it: installs the Debian packages it
# needs, builds it, installs it into PREFIX (default ~/.local; the program and its files go to
# PREFIX/lib/brisvane, a launcher to PREFIX/share/applications), registers its install folder
# in the registry, and starts it. BUILD_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix="${PREFIX:-$HOME/.local}"
build="${BUILD_DIR:-build-release}"

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBRISVANE_BUILD_TESTS=OFF -DBRISVANE_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"
cmake --install "$build"

program="$prefix/lib/brisvane/brisvan"
echo
echo "Brisvane is installed in $prefix/lib/brisvane (launcher: Brisvane in the desktop's menu)."
if [ -z "${DESTDIR:-}" ]; then
    autostart="${XDG_CONFIG_HOME:-$HOME/.config}/autostart/brisvane-logon.desktop"
    cat <<MSG
It also added the autostart entry $autostart:
when your desktop session starts, it runs "brisvane-reg run-at-logon", which starts the programs
named in Brisvane's Run key (Brisvane itself once "Load Brisvane when Windows starts" is ticked
on its finish page). Delete that file to turn this off.
MSG
fi
case ":$PATH:" in
*":$prefix/bin:"*) ;;
*)
    echo "$prefix/bin, where brisvan and brisvane-reg are linked, is not on your PATH."
    # The one file a bash log-in reads, as bash picks it.
    login_file="$HOME/.profile"
    for f in "$HOME/.bash_profile" "$HOME/.bash_login"; do
        if [ -f "$f" ]; then
            login_file="$f"
            break
        fi
    done
    if [ "$prefix" = "$HOME/.local" ] && grep -qs '\.local/bin' "$login_file"; then
        echo "Your $login_file adds ~/.local/bin at log-in, so logging in again is enough; until then run"
    else
        echo "Nothing adds it to your PATH at log-in (your $login_file does not): add this line to"
        echo "$login_file, and run it now as well:"
    fi
    echo "    export PATH=\"$prefix/bin:\$PATH\""
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # xvfb-run's default screen has 8-bit colour, on which Qt draws nothing: a black window.
    cat <<MSG
There is no display to show Brisvane's windows on: neither DISPLAY nor WAYLAND_DISPLAY is set.
Start it from a desktop session with
    "$program"
or, without a desktop, on a virtual X display with 24-bit colour:
    xvfb-run -a -s "-screen 0 1024x768x24" "$program"
MSG
    exit 0
fi

echo "Starting $program"
cd "$prefix/lib/brisvane"
exec "$program"
