#!/usr/bin/env bash
# Installs what building, running and testing Quarvel needs on Debian, if missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-dev qt6-base-dev qt6-charts-dev libgl1-mesa-dev
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool imagemagick fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [[ $(id -u) -eq 0 ]] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
