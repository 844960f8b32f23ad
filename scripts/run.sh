#!/usr/bin/env bash
# Installs the dependencies, builds the Debian package, installs it with
# apt-get and starts the program. Without a display it starts under Xvfb and
# saves a screenshot of the window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

deb=$(scripts/build-package.sh build/package | tail -n 1)
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --reinstall "$deb"

# The autostart entry belongs to the desktop information tool's own package.
# Where that is not installed, a disabled stand-in lets the autostart box be
# tried; it is never overwritten.
if [ ! -e /etc/xdg/autostart/korvel-desktopinfo.desktop ]; then
  "${sudo_cmd[@]}" install -D -m 0644 data/korvel-desktopinfo.desktop.autostart \
    /etc/xdg/autostart/korvel-desktopinfo.desktop
fi

user=${SUDO_USER:-$(id -un)}
if [ "$user" != root ] && ! id -nG "$user" | tr ' ' '\n' | grep -qx korvel; then
  echo "Note: $user is not in the group korvel and cannot save the settings."
  echo "      Run 'sudo adduser $user korvel' and log in again."
fi

if [ -n "${DISPLAY:-}" ]; then
  exec korvel-desktopinfo-gui
fi

shot="$PWD/build/korvel-desktopinfo-gui.png"
echo "No display: starting under Xvfb; a screenshot will be saved to $shot"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  korvel-desktopinfo-gui & pid=$!
  sleep 2
  import -window root "$1"
  kill "$pid"; wait "$pid" 2>/dev/null || true' _ "$shot"
echo "Screenshot saved to $shot"
