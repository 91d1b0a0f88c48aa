#!/usr/bin/env bash
# Installs the Debian packages that building and testing Taloran need, when any is missing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config git clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libpng-dev libdeflate-dev libtiff-dev libimage-exiftool-perl gdal-bin libproj-dev libfftw3-dev python3-qgis
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra
  clang libclang-rt-14-dev
  xvfb xauth dbus at-spi2-core python3-gi gir1.2-atspi-2.0
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
