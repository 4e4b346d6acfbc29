#!/usr/bin/env bash
# Builds the whole program with its tests and its installer for 32-bit and 64-bit Windows
# (MinGW-w64, the native window backend, NSIS), then runs every test of the 64-bit build under
# Wine on a virtual display, in a fresh Wine prefix that is removed afterwards, opens the
# WinHelp file that a native build writes through WinHelpA in Wine's help viewer, and makes the
# installer's round trip (scripts/installer-round-trip.sh), then uninstalls once more with links
# put in the install folder (scripts/uninstaller-links.sh). Only 64-bit Wine can run here (this
# machine's kernel runs no 32-bit programs), so the 32-bit build, brisvan.exe as it ships, is
# compiled and linked but not run.
#   bash scripts/windows-tests.sh
# BUILD_PREFIX (default "build-win") names the build folders: build-win32 and build-win64.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh scripts/packages-windows.txt

prefix="${BUILD_PREFIX:-build-win}"
jobs="$(nproc)"
[ "$jobs" -gt 2 ] && jobs=2
started=$SECONDS

# The help file's writer is a tool of the build machine: a native build makes the file.
host="$prefix"-host
t0=$SECONDS
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRISVANE_WITH_WINDOWS=OFF \
    -DBRISVANE_BUILD_TESTS=OFF -DBRISVANE_BUILD_BENCH=OFF
cmake --build "$host" --target winhelp -j"$jobs"
echo "-- WinHelp file $host/winhelp/brisvan.hlp: $((SECONDS - t0)) s"

build() { # toolchain triple, build folder, whether to build the tests
    local t0=$SECONDS
    cmake -S . -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBRISVANE_BUILD_BENCH=OFF -DBRISVANE_BUILD_TESTS="$3" \
        -DBRISVANE_HELP_FILE="$PWD/$host/winhelp/brisvan.hlp"
    cmake --build "$2" -j"$jobs"
    echo "-- $1 build: $((SECONDS - t0)) s"
}
# The tests of the 32-bit build could not run here; the 64-bit build compiles the same code.
build i686-w64-mingw32 "$prefix"32 OFF
build x86_64-w64-mingw32 "$prefix"64 ON
for exe in "$prefix"32/src/app/brisvan.exe "$prefix"64/src/app/brisvan.exe \
    "$prefix"32/tools/installer/brisvane-setup.exe "$prefix"64/tools/installer/brisvane-setup.exe; do
    file "$exe" | grep -q "(GUI)" || { echo "$exe is missing or not a GUI program" >&2; exit 1; }
done

# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh

# Every test on a virtual display, open to any client (behind xvfb-run's access control Wine's
# X driver fails to connect); Wine's processes restart so that they all see it. Then WinHelpA
# starts Wine's help viewer on the same display, and the installer makes its round trip (the
# 64-bit installer of the same script: 32-bit programs cannot run here).
t0=$SECONDS
help_file="$(winepath -w "$host/winhelp/brisvan.hlp")"
wineserver -k 2>/dev/null || true
timeout 1800 xvfb-run -a -s "-screen 0 1024x768x24 -ac" bash -c '
    set -e
    # One server for the whole run: a program started while the last one'"'"'s server is
    # shutting down can fail to start. Its services start here, away from the output of the
    # tests, which ctest would otherwise wait on as long as they run.
    wineserver -p
    wine cmd /c exit < /dev/null > /dev/null 2>&1
    ctest --test-dir "$1" --output-on-failure --timeout 600
    echo "-- window tests run under Wine: $(ctest --test-dir "$1" -N -L windows | grep "Total Tests")"
    wine "$2" "$3"
    wineserver -k || true
    bash scripts/installer-round-trip.sh "$4"
    wineserver -k || true
    bash scripts/uninstaller-links.sh "$4"
    wineserver -k || true
' windows-tests "$prefix"64 "$prefix"64/tests/helpwriter/winhelp_viewer_check.exe "$help_file" \
    "$prefix"64/tools/installer/brisvane-setup.exe
echo "-- tests under Wine: $((SECONDS - t0)) s"
echo "-- Windows part: $((SECONDS - started)) s"
