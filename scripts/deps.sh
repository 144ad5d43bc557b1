#!/usr/bin/env bash
# Installs the Debian packages the game, its tests and its tools need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libx11-dev
  libpng-dev libjpeg-dev zlib1g-dev libfreetype-dev libfontconfig-dev
  fonts-dejavu-core fonts-liberation2 librsvg2-bin
  libfcl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libassimp-dev
  xvfb xauth xdotool x11-utils
  clang libclang-rt-14-dev glslang-dev glslang-tools
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
