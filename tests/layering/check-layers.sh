#!/usr/bin/env bash
# Keeps the layers honest: every include of our own code names its folder from the repository
# root, and no folder includes from a layer above it (so no two folders can include each other).
# Prints the dependency table as the code has it; docs/architecture.md shows the same table.
# Usage: check-layers.sh [repository root]
set -uo pipefail
cd "${1:-$(dirname "$0")/../..}" || exit 2

# Bottom up. A folder may include its own layer and those listed before it. app/ (with the
# executable's main.cpp) sits above the window, which it starts.
layers=(common res settings lines x11 input serial automation bus session ui app tools bench fuzz tests)

rank_of() {  # longest matching folder wins, so app/main.cpp is not taken for app
    local path=$1 best=-1 len=0 i
    for i in "${!layers[@]}"; do
        local l=${layers[$i]}
        if [[ ($path == "$l" || $path == "$l"/*) && ${#l} -gt $len ]]; then best=$i; len=${#l}; fi
    done
    echo "$best"
}

status=0
declare -A deps
while IFS= read -r file; do
    from=$(rank_of "$file")
    [[ $from -ge 0 ]] || continue
    while IFS= read -r target; do
        if [[ ! -f $target ]]; then
            # Not under the root: either generated into the build tree, or a bare name that
            # should have named its folder.
            if [[ -n $(find "${layers[@]}" -path "*/$target" -print -quit 2>/dev/null) ]]; then
                echo "$file: include \"$target\" must name its folder from the repository root"
                status=1
            fi
            continue
        fi
        to=$(rank_of "$target")
        [[ $to -ge 0 ]] || continue
        if [[ $to -gt $from ]]; then
            echo "$file: ${layers[$from]}/ includes ${layers[$to]}/ (\"$target\"), a layer above it"
            status=1
        fi
        [[ $to -ne $from ]] && deps[${layers[$from]}]+=" ${layers[$to]}"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "${layers[@]}" -maxdepth 0 -type f; find "${layers[@]}" -mindepth 1 \( -name "*.h" -o -name "*.cpp" \) -type f 2>/dev/null | sort)

for a in "${!deps[@]}"; do
    for b in ${deps[$a]}; do
        if [[ $a < $b && " ${deps[$b]:-} " == *" $a "* ]]; then
            echo "$a/ and $b/ include each other"
            status=1
        fi
    done
done

echo "Folder -> folders it includes:"
for l in "${layers[@]}"; do
    uniq=$(tr ' ' '\n' <<<"${deps[$l]:-}" | sed '/^$/d' | sort -u | tr '\n' ' ')
    label=$l; [[ -d $l ]] && label+=/
    printf '  %-13s %s\n' "$label" "${uniq:-—}"
done
[[ $status -eq 0 ]] && echo "Layering holds." || echo "Layering broken."
exit $status
