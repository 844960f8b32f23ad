#!/usr/bin/env bash
# The installed desktop tool with the real desktop programs: each session of
# tests/data/desktops/sessions.txt runs under Xvfb, with a private home and
# session bus, in a private sandbox with a network namespace of its own.
#
#   desktops.sh BUILD_DIR SESSION
#
# The tool starts as its autostart entry would, first, and the desktop a few
# seconds later; then come saves, a restart of the desktop and a restart of
# the tool. Each time the screen must show the tool's picture outside the
# desktop's icons and panels, with the desktop still running. Needs root.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
SANDBOX_NET=1
# shellcheck source=sandbox.sh
source "$here/sandbox.sh"
sandbox_enter "$@"

row=$(grep "^$2 " "$here/../data/desktops/sessions.txt") || fail "no such session"
case=$2
IFS='|' read -r _ session desktop ready saves ignore monitors <<<"$row"
trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }
desktop=$(trim "$desktop") ready=$(trim "$ready") saves=$(trim "$saves") ignore=$(trim "$ignore")
read -r screen monitors <<<"$monitors"
errors=/tmp/tool.stderr

# masked IMAGE: paints the ignored rectangles of the image black.
masked() {
    local draw=${ignore// / rectangle }
    convert "$1" -fill black ${ignore:+-draw} ${ignore:+"rectangle ${draw//-/ }"} "$1"
}
# shows VARIANT: the screen shows that variant's picture outside the ignored rectangles.
shows() {
    import -window root /tmp/screen.png && masked /tmp/screen.png &&
        [ "$(compare -metric AE -fuzz 2% /tmp/screen.png "/tmp/picture-$1.png" null: 2>&1)" = 0 ]
}
# held VARIANT SECONDS: the screen shows that picture, and still does SECONDS later.
held() { shows "$1" && sleep "$2" && shows "$1"; }
# expect VARIANT SECONDS WHAT [HOLD]: within that time the screen shows that
# picture and holds it HOLD seconds (default 1) (a desktop that is still
# starting may lay its screens out again meanwhile), and the desktop and the tool run.
expect() {
    local problem=
    poll "$2" held "$1" "${4:-1}" || problem="not the picture $1"
    [ -z "$desktop" ] || ! ended "$desktop_pid" || problem="the desktop ended"
    ! ended "$tool" || problem="the tool ended"
    [ -z "$problem" ] || { shot "$case-$3" && fail "$3: $problem"; }
}
other() { if [ "$1" = a ]; then echo b; else echo a; fi; }
# save VARIANT: replaces both files with new ones, as a save does.
save() {
    for file in wallpaper.png settings.ini; do
        cp "/tmp/$1-$file" "$share/.$file.new" && mv "$share/.$file.new" "$share/$file"
    done
}
start_desktop() {
    [ -n "$desktop" ] || return 0
    # Where a desktop window shows before it paints, it shows magenta, not the
    # tool's picture on the root window beneath.
    [ -z "$ready" ] || xsetroot -solid magenta
    $desktop >>/tmp/desktop.log 2>&1 &
    desktop_pid=$!
    [ -z "$ready" ] || poll 30 eval "xdotool search $ready" >/dev/null || fail "the desktop is not up after 30 s"
}
start_tool() { korvel-desktopinfo 2>>"$errors" & tool=$!; }

sandbox_mount
sandbox_install "$1"
ip link set lo up
sed -i 's/^Hidden=.*/Hidden=false/' /etc/xdg/autostart/korvel-desktopinfo.desktop
# Two variants of the saved files; the picture of each is drawn with --once on
# the bare screen before the session starts.
convert -size 640x480 gradient:'#1d4e89'-'#7fb7e0' png24:/tmp/a-wallpaper.png
convert -size 640x480 gradient:'#7a2d12'-'#e8b04a' png24:/tmp/b-wallpaper.png
cp "$here/../data/desktop/settings.ini" /tmp/a-settings.ini
sed 's/^OverText=.*/OverText=Сохранено/' /tmp/a-settings.ini >/tmp/b-settings.ini
sandbox_start_xvfb "${screen:-1024x768}"
output=screen
for monitor in $monitors; do
    xrandr --setmonitor "${monitor%%:*}" "$(sed -E 's|^[^:]*:([0-9]+)x([0-9]+)|\1/300x\2/200|' <<<"$monitor")" \
        $output >/dev/null
    output=none
done
for variant in b a; do
    save $variant
    korvel-desktopinfo --once 2>"$errors" || fail "--once: status $?"
    import -window root /tmp/picture-$variant.png && masked /tmp/picture-$variant.png
done

# The desktops' own toolkits go to the X display too.
unset QT_QPA_PLATFORM
export HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config XDG_CACHE_HOME=/tmp/home/.cache \
    XDG_DATA_HOME=/tmp/home/.local/share XDG_RUNTIME_DIR=/tmp/home/run
install -d -m 0700 "$HOME" "$XDG_RUNTIME_DIR"
for word in $session; do
    case $word in
    bus) export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
         dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --fork >/dev/null || fail "no bus" ;;
    *=*) export "${word?}" ;;
    *) $word >>/tmp/session.log 2>&1 & ;;
    esac
done

step "the tool first, the desktop a few seconds later"
start_tool
sleep 2
start_desktop
expect a 15 tool-first 3
step "$saves saves 1.2 s apart, the first shown within 3 s"
save b
expect b 3 save
now=b
for ((i = 1; i < saves; i++)); do
    sleep 1.2
    now=$(other "$now")
    save "$now"
done
[ "$saves" = 1 ] || expect "$now" 3 saves
step "the desktop restarted"
if [ -n "$desktop" ]; then
    kill "$desktop_pid" && poll 10 ended "$desktop_pid" || fail "the desktop did not end"
    start_desktop
fi
expect "$now" 15 desktop-restarted 3
step "the tool restarted after a save while it was stopped"
kill "$tool" && poll 5 ended "$tool" || fail "the tool did not end"
save "$(other "$now")"
start_tool
expect "$(other "$now")" 10 tool-restarted
# (A desktop slow to answer while it starts may draw a line from the tool.)
[ ! -s "$errors" ] || { echo "--- the tool said:" && cat "$errors"; }
echo "PASS ($case)"
