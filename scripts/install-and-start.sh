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
case ":$PATH:" in
*":$prefix/bin:"*) ;;
*)
    cat <<MSG
$prefix/bin, where brisvan and brisvane-reg are linked, is not on your PATH. Debian's
~/.profile adds ~/.local/bin when it exists, so logging in again is enough for the default
prefix; until then, or for another prefix:
    export PATH="$prefix/bin:\$PATH"
MSG
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat <<MSG
There is no display to show Brisvane's windows on: neither DISPLAY nor WAYLAND_DISPLAY is set.
Start it from a desktop session with
    $program
or, without a desktop, on a virtual X display:
    xvfb-run -a $program
MSG
    exit 0
fi

echo "Starting $program"
cd "$prefix/lib/brisvane"
exec "$program"
