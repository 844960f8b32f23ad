#!/usr/bin/env bash
# screenshots.sh [OUTDIR]
#
# Makes the README's screenshots again (default OUTDIR: docs): the main window
# with a filled-in form (main-window.png) and the full-screen preview
# (preview.png). Builds the packages, installs them in a private sandbox (see
# tests/binary/sandbox.sh; the host's files are not changed) and runs the
# program on a virtual screen with a made-up host name and network, so that
# the pictures show nothing of this machine. Needs root.
set -euo pipefail

here=$(dirname "$(realpath "$0")")
root=$(dirname "$here")
# shellcheck source=../tests/binary/sandbox.sh
source "$root/tests/binary/sandbox.sh"

if [ "${KORVEL_SANDBOX_INSIDE:-}" != 1 ]; then
  out=$(realpath -m "${1:-$root/docs}")
  echo "Building the packages (log: $root/build/package.log)"
  mkdir -p "$root/build"
  "$root/scripts/build-package.sh" "$root/build/package" >/dev/null 2>"$root/build/package.log"
  mkdir -p "$out"
  sandbox_enter "$root/build/package/korvel-desktopinfo-gui.deb" \
    "$root/build/package/korvel-desktopinfo.deb" "$out"
fi

# The packages and the output folder are opened before the mounts.
exec {package}<"$1" {tool_package}<"$2" {out}<"$3"
out=/proc/$$/fd/$out
sandbox_mount /var

dir=/usr/share/korvel/desktopinfo
image=/usr/share/backgrounds/korvel/sea.png
cat <&"$package" >/tmp/korvel-desktopinfo-gui.deb
cat <&"$tool_package" >/tmp/korvel-desktopinfo.deb
dpkg -i /tmp/korvel-desktopinfo-gui.deb /tmp/korvel-desktopinfo.deb >/dev/null
sed -i 's/^Hidden=true$/Hidden=false/' /etc/xdg/autostart/korvel-desktopinfo.desktop

# A sky over the sea as the wallpaper, and settings that show most options.
mkdir -p "$(dirname "$image")"
convert -size 1600x560 gradient:'#0d2f57'-'#7db9e8' \
  \( -size 1600x440 gradient:'#1f6f8b'-'#0a2a3d' \) -append "png24:$image"
cat >"$dir/settings.ini" <<INI
[Displaying]
Gateway=true
Hostname=true
IPaddress=true
Netmask=true
Over=true
OverText=Кабинет 12\nСлужба поддержки: 12-34
Username=true

[Settings]
Color=1
FontSize=24
Image=$dir/wallpaper.png
Logo=false
OriginalImage=$image
Position=left
INI
cp "$image" "$dir/wallpaper.png"

sandbox_start_xvfb "${SCREEN_W}x${SCREEN_H}"

# office_pc COMMAND: runs the command with a host name and a network of its
# own: one interface with an address from the documentation range and a
# default gateway.
office_pc() {
  unshare --uts --net -- bash -c '
  set -e
  hostname office-pc-12
  ip link set lo up
  ip link add eth0 type veth peer name eth0-peer
  ip addr add 192.0.2.25/24 dev eth0
  ip link set eth0 up
  ip link set eth0-peer up
  ip route add default via 192.0.2.1
  exec env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 DISPLAY="$DISPLAY" \
    XDG_RUNTIME_DIR=/tmp "$@"' office_pc "$@"
}
office_pc korvel-desktopinfo-gui >/tmp/app.log 2>&1 &
APP_PID=$!

main=$(wait_window '^Сведения на рабочем столе')
sleep 0.5
import -window "$main" "$out/main-window.png"

keys shift+Tab shift+Tab shift+Tab space # pushButton: the preview
preview=$(wait_other_window "$main")
[ -n "$preview" ] || fail "no preview window"
sleep 0.3
import -window root "$out/preview.png"
kill "$APP_PID"

# The tool's picture on two monitors side by side: 1920x1080, the primary,
# and 1280x1024.
sandbox_stop_xvfb
sandbox_start_xvfb 3200x1080
xrandr --setmonitor '*L' 1920/508x1080/286+0+0 screen >/dev/null
xrandr --setmonitor R 1280/338x1024/271+1920+0 none >/dev/null
office_pc korvel-desktopinfo --once
import -window root /tmp/two-monitors.png
convert /tmp/two-monitors.png -resize 50% "$out/two-monitors.png"
echo "Screenshots saved: main-window.png, preview.png, two-monitors.png"
