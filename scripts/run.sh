#!/usr/bin/env bash
# Installs the dependencies, builds the two Debian packages (the settings
# window and the desktop-information tool), installs them with apt-get and
# starts the window. Without a display it starts the window under Xvfb and
# saves a screenshot of it, then draws the desktop once with the tool under
# Xvfb and saves a screenshot of that desktop.
# shellcheck disable=SC2016 # the inner shells expand their own arguments
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

scripts/build-package.sh build/package >/dev/null
debs=("$(realpath build/package/korvel-desktopinfo-gui.deb)"
  "$(realpath build/package/korvel-desktopinfo.deb)")
# An autostart entry that the administrator has switched on stays as it is.
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --reinstall \
  -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${debs[@]}"

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

# The desktop, drawn once by the tool on a bare X screen. Its GSettings
# writes stay in memory and its copy of the picture goes to build/, so that
# nothing of the user's own desktop changes. The X server must outlive the
# tool (-noreset) for the drawn background to stay on the screen.
desktop_shot="$PWD/build/korvel-desktopinfo-desktop.png"
cache="$PWD/build/desktop-cache"
rm -rf "$cache" "$desktop_shot"
mkdir -p "$cache"
draw=(env -u DBUS_SESSION_BUS_ADDRESS GSETTINGS_BACKEND=memory XDG_CACHE_HOME="$cache"
  xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" bash -c '
    korvel-desktopinfo --once || exit
    import -window root "$1"' _ "$desktop_shot")
dir=/usr/share/korvel/desktopinfo
echo "Drawing the desktop with korvel-desktopinfo --once under Xvfb;" \
  "a screenshot will be saved to $desktop_shot"
status=0
if [ -e "$dir/wallpaper.png" ]; then
  "${draw[@]}" || status=$?
else
  # No wallpaper installed yet: a demo wallpaper and demo settings are put
  # over the settings folder in a private mount namespace, so that the
  # machine's real settings stay as they are.
  demo="$PWD/build/desktop-demo"
  rm -rf "$demo"
  mkdir -p "$demo"
  cp "$dir"/*.xml "$demo/"
  convert -size 1920x1080 gradient:'#1d4e89'-'#7fb7e0' "png24:$demo/wallpaper.png"
  cat >"$demo/settings.ini" <<INI
[Displaying]
Gateway=false
Hostname=true
IPaddress=true
Netmask=false
Over=true
OverText=Кабинет 12
Username=true

[Settings]
Color=1
FontSize=28
Image=$dir/wallpaper.png
Logo=false
OriginalImage=$dir/wallpaper.png
Position=left
INI
  chmod -R a+rX "$demo"
  echo "No wallpaper is installed yet: drawing a demo wallpaper with demo settings."
  "${sudo_cmd[@]}" unshare --mount --propagation private -- bash -c '
    mount --bind "$1" "$2" && shift 2 && exec runuser -u "$@"' \
    _ "$demo" "$dir" "$(id -un)" -- "${draw[@]}" || status=$?
fi
if [ "$status" -eq 0 ]; then
  echo "Screenshot of the desktop saved to $desktop_shot"
else
  echo "korvel-desktopinfo could not draw the desktop (exit status $status," \
    "its message is above); no screenshot of the desktop was made."
fi
