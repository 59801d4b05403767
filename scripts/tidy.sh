#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over every source of a
# configured build (compile_commands.json in build/ unless given) and fails on
# any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sources=$(git ls-files '*.cpp' | grep -v '^tests/fuzz/')
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# Two at a time, as many as the machine has cores for.
printf '%s\n' $sources | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$out" 2>/dev/null || true
if grep -v "^$PWD/build" "$out" | grep -E "(warning|error):"; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: no findings"
