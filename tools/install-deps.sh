#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, running and packing the
# tool need, if any is missing.
set -euo pipefail
packages=(cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
          qttools5-dev qttools5-dev-tools
          socat xvfb xauth fonts-wqy-microhei qtwayland5 dpkg-dev file
          clang libclang-rt-14-dev)  # the fuzz targets: clang and its libFuzzer
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
