#!/usr/bin/env bash
# Builds the program and its installer for 32-bit and 64-bit Windows as they ship (MinGW-w64's
# win32 thread model, the native window backend, NSIS), checks that the 32-bit ones load on
# Windows XP (scripts/windows-imports.sh) and that the program ships stripped with its manifest
# (scripts/windows-release-check.sh), builds every test (the posix thread model, which
# GoogleTest needs) and runs them under Wine on a virtual display, in a fresh Wine prefix that
# is removed afterwards, opens the WinHelp file that a native build writes through WinHelpA in
# Wine's help viewer, and makes the installer's round trip (scripts/installer-round-trip.sh),
# then uninstalls once more with links put in the install folder (scripts/uninstaller-links.sh).
# All that runs for the 64-bit build, and for the 32-bit build too where this machine runs
# 32-bit Windows programs (scripts/wine32.sh tells, in one line where it does not).
#   bash scripts/windows-tests.sh
# BUILD_PREFIX (default "build-win") names the build folders: build-win32 and build-win64 as
# they ship, build-win64-tests (and build-win32-tests) with the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh scripts/packages-windows.txt
wine32=0
bash scripts/wine32.sh && wine32=1

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

build() { # toolchain triple, build folder, thread model: win32 as it ships, posix with the tests
    local t0=$SECONDS tests=OFF
    [ "$3" = posix ] && tests=ON
    # A folder first configured with the other thread model's compiler keeps that compiler (and
    # its first flags) whatever the toolchain says now: such a folder starts afresh.
    grep -qs -- "-g++-$3\")" "$2"/CMakeFiles/*/CMakeCXXCompiler.cmake || rm -rf "$2"
    cmake -S . -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBRISVANE_BUILD_BENCH=OFF -DBRISVANE_MINGW_THREADS="$3" \
        -DBRISVANE_BUILD_TESTS="$tests" -DBRISVANE_HELP_FILE="$PWD/$host/winhelp/brisvan.hlp"
    cmake --build "$2" -j"$jobs"
    echo "-- $1 build ($3 threads): $((SECONDS - t0)) s"
}
build i686-w64-mingw32 "$prefix"32 win32
build x86_64-w64-mingw32 "$prefix"64 win32
build x86_64-w64-mingw32 "$prefix"64-tests posix
[ "$wine32" -eq 0 ] || build i686-w64-mingw32 "$prefix"32-tests posix
for exe in "$prefix"32/src/app/brisvan.exe "$prefix"64/src/app/brisvan.exe \
    "$prefix"32/tools/installer/brisvane-setup.exe "$prefix"64/tools/installer/brisvane-setup.exe; do
    file "$exe" | grep -q "(GUI)" || { echo "$exe is missing or not a GUI program" >&2; exit 1; }
done
bash scripts/windows-imports.sh "$prefix"32/src/app/brisvan.exe \
    "$prefix"32/tools/installer/brisvane-setup.exe
bash scripts/windows-release-check.sh "$prefix"32/src/app/brisvan.exe "$prefix"64/src/app/brisvan.exe

# Every test of a build on a virtual display, open to any client (behind xvfb-run's access
# control Wine's X driver fails to connect), in a Wine prefix of its own; Wine's processes
# restart so that they all see it. Then WinHelpA starts Wine's help viewer on the same display,
# and the installer made as it ships makes its round trip.
run_under_wine() { # build folder with the tests, installer
    (
        # shellcheck source=scripts/wine-prefix.sh
        source scripts/wine-prefix.sh
        local t0=$SECONDS help_file
        help_file="$(winepath -w "$host/winhelp/brisvan.hlp")"
        wineserver -k 2>/dev/null || true
        timeout 1800 xvfb-run -a -s "-screen 0 1024x768x24 -ac" bash -c '
            set -e
            # One server for the whole run: a program started while the last one'"'"'s server
            # is shutting down can fail to start. Its services start here, away from the output
            # of the tests, which ctest would otherwise wait on as long as they run.
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
        ' windows-tests "$1" "$1"/tests/helpwriter/winhelp_viewer_check.exe "$help_file" "$2"
        echo "-- tests of $1 under Wine: $((SECONDS - t0)) s"
    )
}
run_under_wine "$prefix"64-tests "$prefix"64/tools/installer/brisvane-setup.exe
if [ "$wine32" -eq 1 ]; then
    # A 32-bit prefix, as on 32-bit Windows: "Program Files" and the registry as the 32-bit
    # installer sees them on such a system.
    WINEPREFIX="" WINEARCH=win32 run_under_wine "$prefix"32-tests \
        "$prefix"32/tools/installer/brisvane-setup.exe
fi
echo "-- Windows part: $((SECONDS - started)) s"
