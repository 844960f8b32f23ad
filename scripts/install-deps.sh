#!/usr/bin/env bash
# Installs everything needed to build, test, package and run the program on
# Debian 12. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qtbase5-dev qttools5-dev qttools5-dev-tools libxcb1-dev libglib2.0-dev zlib1g-dev libdeflate-dev libisal-dev libjpeg-dev libxcb-shm0-dev libxcb-randr0-dev libqt5x11extras5-dev
  fonts-noto-core sed bash
  xvfb xauth x11-utils x11-apps x11-xkb-utils xdotool imagemagick
  # the real desktops of tests/binary/desktops.sh (about 300 MB to download, 930 MB installed, most for Plasma)
  openbox picom xfdesktop4 xfconf pcmanfm-qt caja dconf-cli plasma-desktop kactivitymanagerd x11-xserver-utils
  dbus dconf-service dconf-gsettings-backend libglib2.0-bin
  gsettings-desktop-schemas mate-desktop-common cinnamon-desktop-data
  desktop-file-utils util-linux iproute2 procps
  debhelper dpkg-dev lintian fakeroot adduser
  clang libclang-rt-14-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
