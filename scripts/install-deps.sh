#!/usr/bin/env bash
# Installs the Debian packages that building and testing Brisvane need. Does nothing when
# they are all there already. Extra package lists may be named as arguments. With --check it
# installs nothing: it names the missing packages and fails when there are any.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
check_only=0
if [ "${1:-}" = "--check" ]; then
    check_only=1
    shift
fi
lists=("$here/packages.txt" "$@")
mapfile -t wanted < <(cat "${lists[@]}" | sed 's/#.*//' | awk 'NF')
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$check_only" -eq 1 ]; then
    echo "missing Debian packages: ${missing[*]}" >&2
    exit 1
fi
# sudo starts apt-get with a clean environment: the front end is passed on its command line, or
# debconf would fall back to asking on the terminal.
run=(env)
[ "$(id -u)" -ne 0 ] && run=(sudo)
"${run[@]}" DEBIAN_FRONTEND=noninteractive apt-get update -q
"${run[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
