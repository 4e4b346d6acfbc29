#!/usr/bin/env bash
# Builds the targets that need no Qt, with their tests, for 32-bit and 64-bit Windows
# (MinGW-w64), then runs the platform contract tests and the folder purge and PREFS.JS tests of
# the 64-bit build under Wine, in a fresh Wine prefix that is removed afterwards; then opens the
# WinHelp file that a native build writes through WinHelpA in Wine's help viewer, on a virtual
# display. Only 64-bit Wine is installed, so the 32-bit build is compiled and linked but not run.
#   bash scripts/windows-tests.sh
# BUILD_PREFIX (default "build-win") names the build folders: build-win32 and build-win64;
# WINE_TESTS names the tests to run under Wine (default: the contract tests and the four tests
# of the cleaning engine).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh scripts/packages-windows.txt

prefix="${BUILD_PREFIX:-build-win}"
# shellcheck disable=SC2206
wine_tests=(${WINE_TESTS:-contract_test folder_purge_test prefs_filter_test netscape_profile_test cleaning_run_test})
jobs="$(nproc)"
[ "$jobs" -gt 2 ] && jobs=2
started=$SECONDS

build() { # toolchain triple, build folder
    local t0=$SECONDS
    cmake -S . -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBRISVANE_WITH_QT=OFF -DBRISVANE_BUILD_BENCH=OFF
    cmake --build "$2" -j"$jobs"
    echo "-- $1 build: $((SECONDS - t0)) s"
}
build i686-w64-mingw32 "$prefix"32
build x86_64-w64-mingw32 "$prefix"64

# The help file's writer is a tool of the build machine: a native build makes the file.
host="$prefix"-host
t0=$SECONDS
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRISVANE_WITH_QT=OFF \
    -DBRISVANE_BUILD_TESTS=OFF -DBRISVANE_BUILD_BENCH=OFF
cmake --build "$host" --target winhelp -j"$jobs"
echo "-- WinHelp file $host/winhelp/brisvan.hlp: $((SECONDS - t0)) s"

missing=()
for t in "${wine_tests[@]}"; do
    ctest --test-dir "$prefix"64 -N -R "^$t\$" | grep -q "Total Tests: 1" || missing+=("$t")
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "not built, so not run under Wine: ${missing[*]}" >&2
    exit 1
fi

WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/brisvane-wine-XXXXXX")"
export WINEPREFIX WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and without a display nothing would install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

t0=$SECONDS
wineboot -i
wineserver -w
echo "-- Wine prefix set up: $((SECONDS - t0)) s"

t0=$SECONDS
regex="^($(IFS='|'; echo "${wine_tests[*]}"))\$"
ctest --test-dir "$prefix"64 --output-on-failure --timeout 600 -R "$regex"
echo "-- tests under Wine: $((SECONDS - t0)) s"

# WinHelpA starts Wine's help viewer, which needs a display: a virtual one, open to any client
# (behind xvfb-run's access control Wine's X driver fails to connect). Wine's processes restart
# so that they all see it.
t0=$SECONDS
help_file="$(winepath -w "$host/winhelp/brisvan.hlp")"
wineserver -k
timeout 300 xvfb-run -a -s "-screen 0 1024x768x24 -ac" \
    sh -c 'wine "$1" "$2"; status=$?; wineserver -k; exit $status' viewer-check \
    "$prefix"64/tests/helpwriter/winhelp_viewer_check.exe "$help_file"
echo "-- the help file in Wine's help viewer: $((SECONDS - t0)) s"
echo "-- Windows part: $((SECONDS - started)) s"
