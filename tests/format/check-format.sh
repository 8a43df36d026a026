#!/usr/bin/env bash
# Every C++ file of ours is as clang-format leaves it under the root's .clang-format.
# Usage: check-format.sh [repository root]
set -uo pipefail
cd "${1:-$(dirname "$0")/../..}" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/setup.sh installs it)"; exit 1; }
status=0
while IFS= read -r f; do
    if ! clang-format --dry-run --Werror "$f" 2>/dev/null; then
        echo "$f: not formatted (run: clang-format -i $f)"
        status=1
    fi
done < <(find common platform res app input serial automation ui tools bench fuzz tests \
              \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
[ $status -eq 0 ] && echo "All sources formatted."
exit $status
