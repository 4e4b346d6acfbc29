#!/usr/bin/env bash
# Draws the main page, the progress window, the finish page and the help window into
# docs/screenshots/ (main-page.png, progress-window.png, finish-page.png, help-window.png) on
# Qt's offscreen platform, so no display is needed. The pictures show the windows' client areas;
# the desktop draws the title bar. BUILD_DIR chooses the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
out="docs/screenshots"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target brisvane-screenshots
mkdir -p "$out"

# A registry of its own, so that the pictures show a fresh start and the user's settings stay
# untouched.
registry="$(mktemp -d)"
trap 'rm -rf "$registry"' EXIT
XDG_CONFIG_HOME="$registry" QT_QPA_PLATFORM=offscreen "$build/src/app/brisvane-screenshots" "$out"
