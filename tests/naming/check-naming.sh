#!/usr/bin/env bash
# Keeps Qt's naming convention (docs/architecture.md, "Names"): clang-tidy's
# readability-identifier-naming with the root's .clang-tidy over the product's sources, plus what
# it cannot see: type prefixes on members (m_b, m_p, m_sz, m_hbm, ...), C and I class prefixes,
# Bool32. A source whose text and our headers are unchanged since it last passed is not read again.
# Usage: check-naming.sh <repository root> <build dir with compile_commands.json>
set -uo pipefail
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd) || exit 2
build=$(cd "${2:-$root/build}" && pwd) || exit 2
tidy=$(command -v clang-tidy-14 || command -v clang-tidy) ||
    { echo "clang-tidy is not installed (scripts/setup.sh installs it)"; exit 1; }
[[ -f $build/compile_commands.json ]] || { echo "$build/compile_commands.json is missing"; exit 1; }
cd "$root" || exit 2
status=0
# The product: every folder that builds one of our libraries.
mapfile -t folders < <(grep -l 'tarvik_layer(' */CMakeLists.txt | cut -d/ -f1 | sort)

# What clang-tidy cannot tell from a name's case.
mapfile -t sources < <(find "${folders[@]}" \( -name '*.h' -o -name '*.cpp' \) -type f 2>/dev/null | sort)
if grep -nE '\bm_(b|n|p|sz|psz|str|h|hbm|pt|dw|d|cb|btn|cs)[A-Z]|\bBool32\b' "${sources[@]}"; then
    echo "members take no type prefix (m_mouseActive, not m_bMouseActive), booleans are bool"
    status=1
fi
if grep -nE '\bWM_USER\b|Dcb|CommTimeouts|\bEV_[A-Z]' "${sources[@]}"; then
    echo "our own messages and the lines' settings have names of our own, not the system's"
    status=1
fi
if grep -nE '^\s*(class|struct)\s+[CI][A-Z][a-z]\w*\s*(final\s*)?[:{]' "${sources[@]}"; then
    echo "classes take no C or I prefix"
    status=1
fi

# clang-tidy, one process per source in parallel, skipping sources that passed with these headers.
stamps=$build/naming-stamps
mkdir -p "$stamps"
headers=$(cat .clang-tidy $(printf '%s\n' "${sources[@]}" | grep '\.h$') | sha1sum | cut -c1-40)
filter="^$root/($(IFS='|'; echo "${folders[*]}"))/"
mapfile -t units < <(/usr/bin/python3 - "$build/compile_commands.json" "$root" "${folders[@]}" <<'PY'
import json, sys
root, folders = sys.argv[2] + '/', set(sys.argv[3:])
for f in sorted({e['file'] for e in json.load(open(sys.argv[1]))}):
    if f.startswith(root) and f[len(root):].split('/')[0] in folders:
        print(f[len(root):])
PY
)
todo=()
for u in "${units[@]}"; do
    key=$( (echo "$headers"; cat "$u") | sha1sum | cut -c1-40)
    [[ -e $stamps/$key ]] || todo+=("$u")
done
export tidy build filter stamps headers
check_one() {
    out=$("$tidy" --quiet -p "$build" --header-filter="$filter" "$1" 2>&1)
    if grep -q 'readability-identifier-naming' <<<"$out"; then
        grep -A3 'readability-identifier-naming' <<<"$out"
        return 1
    fi
    if grep -q ' error: ' <<<"$out"; then echo "$out"; return 1; fi
    touch "$stamps/$( (echo "$headers"; cat "$1") | sha1sum | cut -c1-40)"
}
export -f check_one
if ((${#todo[@]})); then
    printf '%s\n' "${todo[@]}" | xargs -P "$(nproc)" -I{} bash -c 'check_one "$1"' _ {} || status=1
fi
[[ $status -eq 0 ]] && echo "Names hold: ${#units[@]} sources (${#todo[@]} read)." || echo "Names broken."
exit $status
