#!/usr/bin/env bash
# Lists what keeps the tree from being easy to find one's way in, and exits 1 when there is any:
#   - a source file under src/ or tools/ longer than 500 lines;
#   - a function there longer than 80 lines (a lambda counts with the function around it);
#   - an include in src/ of a folder that the including layer must not reach. Dependencies point
#     down: app -> paths, cleaner -> settings -> platform, and each window (paths, cleaner) ->
#     ui -> platform. Nothing in src/ includes app/ from below, nor tools/ or tests/, nor
#     reaches up with "../".
# The function lengths come from Universal Ctags (Debian's universal-ctags).
set -euo pipefail
cd "$(dirname "$0")/.."

max_file_lines=500
max_function_lines=80
sources=(src tools)

# What each layer under src/ may include, itself first.
declare -A reaches=(
    [platform]="platform"
    [settings]="settings platform"
    [ui]="ui platform"
    [paths]="paths settings ui platform"
    [cleaner]="cleaner settings ui platform"
    [app]="app paths cleaner settings ui platform"
)

if ! ctags --version 2>/dev/null | grep -q "Universal Ctags"; then
    echo "check-structure: needs Universal Ctags (apt-get install universal-ctags)" >&2
    exit 2
fi

found=0

echo "== Files over $max_file_lines lines"
long_files="$(find "${sources[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 wc -l | awk -v max="$max_file_lines" '$2 != "total" && $1 > max' | sort -rn)"
if [ -n "$long_files" ]; then
    echo "$long_files"
    found=1
fi

echo "== Functions over $max_function_lines lines"
# One line per function definition: its length in lines, where it starts, its name.
long_functions="$(ctags -R --languages=C++ --map-C++=+.h --kinds-C++=f --fields=+ne --extras=-F \
    -o - "${sources[@]}" |
    awk -F'\t' -v max="$max_function_lines" '{
        start = 0; end = 0
        for (i = 4; i <= NF; i++) {
            if ($i ~ /^line:/) start = substr($i, 6)
            if ($i ~ /^end:/) end = substr($i, 5)
        }
        if (end - start + 1 > max) print end - start + 1, $2 ":" start, $1
    }' | sort -rn)"
if [ -n "$long_functions" ]; then
    echo "$long_functions"
    found=1
fi

echo "== Includes of a folder the including layer must not reach"
for dir in src/*/; do
    layer="$(basename "$dir")"
    if [ -z "${reaches[$layer]+set}" ]; then
        echo "src/$layer: a folder this script has no rule for; add its layer above"
        found=1
        continue
    fi
    while IFS=: read -r file line text; do
        target="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$text")"
        case "$target" in
        ../* | */../*)
            echo "$file:$line: $target (reaches up with ..)"
            found=1
            continue
            ;;
        */*) ;;
        *) continue ;; # a file beside the including one
        esac
        folder="${target%%/*}"
        if [[ " ${reaches[$layer]} " != *" $folder "* ]]; then
            echo "$file:$line: $target ($layer must not include $folder/)"
            found=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$dir" || true)
done

exit "$found"
