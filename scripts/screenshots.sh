#!/usr/bin/env bash
# Draws every picture in the README into docs/screenshots/. First on Qt's offscreen platform,
# which needs no display, the windows' client areas as the program draws them (main-page,
# progress-window, finish-page, help-window and settings-dialog .png); the desktop draws the
# title bars. Then, on a virtual display with the openbox window manager
# (scripts/run-on-desktop.sh), what a user's screen shows, title bars included: the progress
# window in the middle of a cleaning run and the settings dialog (desktop-progress-window.png,
# desktop-settings-dialog.png). BUILD_DIR chooses the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
out="docs/screenshots"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target brisvane-screenshots -j"$(nproc)"
mkdir -p "$out"

# A registry of its own for each drawing, so that the pictures show a fresh start and the
# user's settings stay untouched.
registry="$(mktemp -d)"
trap 'rm -rf "$registry"' EXIT
XDG_CONFIG_HOME="$registry/offscreen" QT_QPA_PLATFORM=offscreen \
    "$build/tools/screenshots/brisvane-screenshots" "$out"
XDG_CONFIG_HOME="$registry/desktop" \
    bash scripts/run-on-desktop.sh "$build/tools/screenshots/brisvane-screenshots" --desktop "$out"
