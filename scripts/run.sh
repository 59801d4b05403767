#!/usr/bin/env bash
# Builds Quarvel and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target quarvel
exec ./build/app/quarvel "$@"
