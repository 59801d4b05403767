#!/usr/bin/env bash
# Builds Quarvel (the window and quarvel-cli) and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
# The window needs a display; say so now rather than after the build.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "Quarvel's window needs a display, and none is set (DISPLAY is empty)." >&2
  echo "Start it from a desktop session, or on a machine without one use a virtual display:" >&2
  echo "  xvfb-run -a bash scripts/run.sh      (xvfb-run is in Debian's package xvfb)" >&2
  echo "quarvel-cli needs no display: cmake -S . -B build && cmake --build build --target quarvel-cli" >&2
  exit 1
fi
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target quarvel quarvel-cli
exec ./build/app/quarvel "$@"
