#!/usr/bin/env bash
# Installs what building, running and testing Quarvel needs on Debian, if missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-format clang-tidy libclang-rt-dev qt6-base-dev
  qt6-charts-dev qt6-svg-dev libgl1-mesa-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool
  imagemagick fonts-dejavu-core locales
  # Installing and packaging: icons drawn from the SVG, the desktop's validators,
  # manual pages and completion as the installation test reads them, and what
  # cpack needs to read the programs' library dependencies.
  librsvg2-bin desktop-file-utils appstream man-db bash-completion dpkg-dev file
  # The exported models are run by their tests; the Python package is built with
  # pybind11 for the system's python3, its tests use pytest, numpy and pandas, and
  # its example draws with matplotlib.
  python3 python3-dev pybind11-dev python3-numpy python3-pandas python3-pytest python3-matplotlib)

# Runs a command as root: directly, through sudo, or not at all, saying what to run.
as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "Quarvel's set-up needs root to install packages, and sudo is not available." >&2
    echo "Run this as root, then start the command again:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# A locale with a decimal comma, so the tests can show that no number depends on
# the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  missing=(de_DE.UTF-8 locale)
  if [[ $(id -u) -ne 0 ]] && ! command -v sudo >/dev/null 2>&1; then
    echo "Skipping the de_DE.UTF-8 locale (needs root); the locale test will be skipped." >&2
  else
    as_root sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
fi
