#!/usr/bin/env bash
# Checks that every C++ source of the tree is formatted as .clang-format says.
#   clang-format.sh SOURCE_DIR
set -euo pipefail
cd "$1"
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
mapfile -d '' files < <(find . \( -name '.git' -o -name 'build*' -o -name 'obj-*' -o -name 'debian' \) \
    -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
[ "${#files[@]}" -gt 0 ] || { echo "no C++ sources found under $1" >&2; exit 1; }
clang-format --dry-run -Werror "${files[@]}"
echo "${#files[@]} files are formatted"
