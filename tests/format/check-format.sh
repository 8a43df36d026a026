#!/usr/bin/env bash
# Every C++ file of ours is as clang-format leaves it under the root's .clang-format.
# Usage: check-format.sh [repository root]
set -uo pipefail
cd "${1:-$(dirname "$0")/../..}" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/setup.sh installs it)"; exit 1; }
mapfile -t files < <(find common res settings lines x11 app input serial automation bus ui tools bench fuzz tests \
                          \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
# One run over all files: it names each offending line as file:line:column.
bad=$(clang-format --dry-run --Werror "${files[@]}" 2>&1 | sed -n 's/^\([^ :]*\):[0-9]*:[0-9]*: error.*/\1/p' | sort -u)
if [ -n "$bad" ]; then
    sed 's/$/: not formatted (run clang-format -i on it)/' <<<"$bad"
    exit 1
fi
echo "All ${#files[@]} sources formatted."
