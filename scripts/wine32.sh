#!/usr/bin/env bash
# Succeeds when this machine can run 32-bit Windows programs under Wine: its kernel runs a
# 32-bit Linux program (on some machines of this kind it does, on others it runs none), and
# Debian's wine32 is installed or installs (with the i386 architecture added for it) and its
# loader starts. Otherwise prints one line saying why and fails; where the kernel runs no 32-bit
# programs it installs nothing.
#   bash scripts/wine32.sh && echo "32-bit Wine runs here"
set -euo pipefail
loader=/usr/lib/wine/wine
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

no() {
    echo "-- no 32-bit Wine here: $*; the 64-bit build of the same code and script is run instead"
    exit 1
}

# The smallest 32-bit program: exit(42) through the i386 system call gate.
# shellcheck disable=SC2016 # assembly, not shell
if ! printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' |
    as --32 -o "$scratch/exit42.o" - 2>/dev/null ||
    ! ld -m elf_i386 -o "$scratch/exit42" "$scratch/exit42.o" 2>/dev/null; then
    no "binutils could not make a 32-bit test program"
fi
status=0
"$scratch/exit42" 2>/dev/null || status=$?
[ "$status" -eq 42 ] || no "this machine's kernel runs no 32-bit programs"

installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed"; }
if ! installed; then
    run=(env)
    [ "$(id -u)" -ne 0 ] && run=(sudo -n)
    added=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${run[@]}" dpkg --add-architecture i386 || no "the i386 architecture could not be added"
        added=1
    fi
    if ! { "${run[@]}" DEBIAN_FRONTEND=noninteractive apt-get update -q &&
        "${run[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            wine32:i386; } > "$scratch/apt.log" 2>&1; then
        # Leave the machine as it was: the architecture goes again unless something uses it.
        [ "$added" -eq 0 ] || "${run[@]}" dpkg --remove-architecture i386 2> /dev/null || true
        no "wine32 did not install ($(grep -E '^E:' "$scratch/apt.log" | head -1))"
    fi
fi
[ -x "$loader" ] || no "wine32 is installed but its loader $loader is missing"
"$loader" --version > /dev/null 2>&1 || no "the 32-bit Wine loader does not start"
echo "-- 32-bit Wine runs here: $("$loader" --version)"
