#!/usr/bin/env bash
# Installs the dependencies, builds and installs the program, prepares the
# places it works with, and starts it. Without a display it starts under Xvfb
# and saves a screenshot of the window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_BUILD_TESTS=OFF \
  -DKORVEL_BUILD_BENCH=OFF
cmake --build build -j "$(nproc)"
"${sudo_cmd[@]}" cmake --install build

# The settings folder, and a disabled autostart entry for the desktop
# information tool where its package has not installed one.
"${sudo_cmd[@]}" install -d -m 0775 /usr/share/korvel/desktopinfo
if [ ! -e /etc/xdg/autostart/korvel-desktopinfo.desktop ]; then
  "${sudo_cmd[@]}" install -D -m 0644 data/korvel-desktopinfo.desktop.autostart \
    /etc/xdg/autostart/korvel-desktopinfo.desktop
fi

if [ -n "${DISPLAY:-}" ]; then
  exec korvel-desktopinfo-gui
fi

shot="$PWD/build/korvel-desktopinfo-gui.png"
echo "No display: starting under Xvfb; a screenshot will be saved to $shot"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  korvel-desktopinfo-gui & pid=$!
  sleep 2
  xwd -root -silent | convert xwd:- png:"$1"
  kill "$pid"; wait "$pid" 2>/dev/null || true' _ "$shot"
echo "Screenshot saved to $shot"
