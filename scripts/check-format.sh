#!/usr/bin/env bash
# Fails when a C++ source of the tree is not as clang-format (.clang-format at
# the root) would write it; `clang-format -i` on the files named fixes them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Not clang-format clean: run clang-format -i on the files above." >&2
  exit 1
fi
echo "clang-format: clean (${#files[@]} files)"
