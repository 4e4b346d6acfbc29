#!/usr/bin/env bash
# Runs a command (a test, the screenshots) on a desktop of its own: a virtual X display
# (1024x768, the smallest screen the windows must fit) with the openbox window manager, which
# maps, frames and exposes windows the way a user's desktop does. Exits 77 (skipped) when Xvfb
# or openbox is not installed.
set -uo pipefail
for tool in Xvfb openbox; do
    if ! command -v "$tool" > /dev/null; then
        echo "$tool is not installed; skipping" >&2
        exit 77
    fi
done

display_file="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$display_file" 2> /dev/null &
xvfb=$!
wm=""
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2> /dev/null
    kill "$xvfb" 2> /dev/null
    wait 2> /dev/null
    rm -f "$display_file"
}
trap cleanup EXIT

for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
if [ ! -s "$display_file" ]; then
    echo "Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$display_file")"
export QT_QPA_PLATFORM=xcb
openbox --sm-disable > /dev/null 2>&1 &
wm=$!
# openbox takes over the screen by selecting the root window's redirect events; a window
# shown before that would not be managed.
sleep 1
"$@"
