#!/usr/bin/env bash
# Installs the Debian 12 packages Tavrin needs to build, run and test, or
# the packages named as arguments. Skips the package manager when everything
# is already there.
set -euo pipefail

packages=("$@")
[ $# -gt 0 ] || packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools
  libx11-dev libxrandr-dev libx11-xcb-dev libxcb-randr0-dev libxxf86vm-dev
  liblcms2-dev libbenchmark-dev
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  argyll colord-data
  xdotool trayer imagemagick x11-utils strace linux-perf
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  # Another installer may hold the package lock for a while: wait for it.
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
fi
