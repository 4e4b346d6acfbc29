# Sourced by the Windows test scripts: `check DESCRIPTION COMMAND...` runs the command
# quietly and prints "ok" or "FAILED" with the description, counting failures in `failures`;
# `absent COMMAND...` turns a command that finds something into one that checks it is gone.
failures=0
check() { # description, command...
    local what="$1"
    shift
    if "$@" > /dev/null 2>&1; then
        echo "   ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}
absent() { ! "$@"; }
