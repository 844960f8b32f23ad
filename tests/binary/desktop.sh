#!/usr/bin/env bash
# Tests of the installed desktop-information tool on a bare X server (no
# window manager), in a private sandbox with a network namespace of its own.
#
#   desktop.sh BUILD_DIR CASE
#
# The sandbox has one interface with an address and a default route, a
# wallpaper and settings that show every fact. Needs root.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
SANDBOX_NET=1
# shellcheck source=sandbox.sh
source "$here/sandbox.sh"
sandbox_enter "$@"

case=$2
errors=/tmp/tool.stderr
export XDG_CACHE_HOME=/tmp/cache

root_picture() { import -window root rgb:- 2>/dev/null | sha256sum | cut -c1-16; }
cached() { ls "$XDG_CACHE_HOME"/korvel-desktopinfo/desktop-*.png 2>/dev/null; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
pixmap() { xprop -root "$1" | awk '{ print $NF }'; }
hidden() { sed -i "s/^Hidden=.*/Hidden=$1/" /etc/xdg/autostart/korvel-desktopinfo.desktop; }
# The root window's picture is no longer the pixmap $1.
redrawn() { [ "$(pixmap _XROOTPMAP_ID)" != "$1" ]; }
drawn() { xprop -root _KORVEL_DESKTOPINFO_PMAP | grep -q =; }
# No new drawing (line of /tmp/drawings) for 1.5 s.
settled() { local n && n=$(wc -l </tmp/drawings) && sleep 1.5 && [ "$(wc -l </tmp/drawings)" = "$n" ]; }

case_preview_equals_desktop() {
    # A photo larger than the desktop, which both shrink (the tool as it decodes).
    convert -seed 7 -size 1600x1200 plasma:red-blue -quality 90 "jpg:$share/wallpaper.png"
    # The window's preview of the same settings, taken from /tmp as it is shown.
    app_start 0 ""
    wait_window '^Сведения на рабочем столе' >/dev/null
    keys shift+Tab shift+Tab shift+Tab space # pbExit, pbSave, pushButton
    poll 10 eval 'ls /tmp/[0-9]*.png' >/dev/null 2>&1 || fail "no preview file"
    sleep 0.5
    cp /tmp/[0-9]*.png /tmp/preview.png
    kill "$APP_PID" && wait "$APP_PID"

    korvel-desktopinfo --once 2>"$errors" || fail "status $?"
    [ ! -s "$errors" ] || fail "the tool complained"
    shows_on_root /tmp/preview.png || fail "the desktop is not the preview"
    [ -z "$(cached)" ] || fail "a copy of the picture without a desktop that needs one"
    # The same through the socket, on a server that shares no memory.
    local plain display
    mkfifo /tmp/plain
    Xvfb -displayfd 3 -screen 0 1024x768x24 -extension MIT-SHM -nolisten tcp 3>/tmp/plain 2>/dev/null &
    plain=$!
    read -r -t 10 display </tmp/plain || fail "no second X server"
    # A server that no other client keeps resets when the last one leaves: the
    # tool's own connections must neither fail nor lose the picture, run after run.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        DISPLAY=:$display korvel-desktopinfo --once 2>"$errors" || fail "without shared memory: $?"
    done
    DISPLAY=:$display shows_on_root /tmp/preview.png || fail "without shared memory: not the preview"
    kill "$plain" && wait "$plain"
    first=$(pixmap _XROOTPMAP_ID)
    [ "$(pixmap ESETROOT_PMAP_ID)" = "$first" ] || fail "properties differ"
    # A second drawing in a session whose bus is found at $XDG_RUNTIME_DIR/bus: a new
    # pixmap, one cached picture, and every desktop's settings naming it (gsettings.txt),
    # read back through dconf. The same picture again is that file, not written again;
    # two other pictures keep the newest and the one before.
    local run=/tmp/home/run bus
    mkdir -p $run && chmod 0700 /tmp/home $run
    export HOME=/tmp/home XDG_RUNTIME_DIR=$run XDG_CACHE_HOME="/tmp/cache dir"
    bus=$(dbus-daemon --session --address="unix:path=$run/bus" --fork --print-pid) || fail "no bus"
    korvel-desktopinfo --once 2>"$errors" || fail "second run: status $?"
    [ ! -s "$errors" ] || fail "second run: a line for the desktops that are absent"
    [ "$(pixmap _XROOTPMAP_ID)" != "$first" ] || fail "no new pixmap"
    [ "$(cached | wc -l)" = 1 ] || fail "not one cached picture: $(cached)"
    while read -r _ _ _ schema _ key _ value; do
        value=${value//\{path\}/$(cached)}
        value=${value//\{uri\}/file:\/\/$(cached | sed 's/ /%20/g')}
        [ "$(DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus gsettings get "$schema" "$key")" = "$value" ] ||
            fail "$schema $key is not $value"
    done < <(grep -v '^#' "$here/../data/desktop/gsettings.txt")
    local copy
    copy=$(stat -c %n:%i "$(cached)")
    korvel-desktopinfo --once 2>"$errors" || fail "status $?"
    [ "$(stat -c %n:%i "$(cached)")" = "$copy" ] || fail "the same picture written again"
    for text in Другой Третий; do
        sed -i "s/^OverText=.*/OverText=$text/" "$share/settings.ini"
        korvel-desktopinfo --once 2>"$errors" || fail "status $?"
    done
    [ "$(cached | wc -l)" = 2 ] && ! cached | grep -qF "${copy%:*}" ||
        fail "not the current and the previous picture: $(cached)"
    kill "$bus"
}
# Each line of bad-input.txt spoils the input: the tool fails at once with one
# line on standard error, and the desktop stays as it was; so without a display.
case_bad_input() {
    korvel-desktopinfo --once 2>"$errors" || fail "the first drawing failed"
    before=$(root_picture)
    while read -r plant; do
        rm -f "$share/wallpaper.png" "$share/settings.ini"
        cp /tmp/wallpaper.png "$here/../data/desktop/settings.ini" "$share/"
        eval "$plant"
        fails_once "$plant"
        [ "$(root_picture)" = "$before" ] || fail "$plant: the desktop changed"
    done <"$here/../data/desktop/bad-input.txt"
    DISPLAY='' fails_once "without a display"
}

fails_once() {
    timeout 35 korvel-desktopinfo --once 2>"$errors"
    [ $? = 1 ] || fail "$1: status not 1 (124: it took 35 s)"
    [ "$(wc -l <"$errors")" = 1 ] || fail "$1: not one line on standard error"
}

# In the background the tool draws again on every change, and only then.
case_keeps_current() {
    hidden false
    korvel-desktopinfo 2>"$errors" &
    local tool=$! picture ticks
    poll 5 drawn || fail "not drawn at start"
    while read -r change; do
        sleep 0.5
        picture=$(pixmap _XROOTPMAP_ID)
        ticks=$(cpu_ticks "$tool")
        sleep 2
        [ "$(cpu_ticks "$tool")" = "$ticks" ] || fail "busy while nothing changed"
        eval "$change"
        poll 1 redrawn "$picture" || fail "not redrawn within a second after: $change"
    done <"$here/../data/desktop/changes.txt"
    kill -TERM "$tool"
    poll 5 ended "$tool" || fail "SIGTERM did not end it"
    wait "$tool" || fail "status $? after SIGTERM"
    hidden true
    korvel-desktopinfo 2>"$errors" || fail "status $? with autostart off"
    grep -q 'switched off' "$errors" || fail "no word on autostart being off"
    # The end of the X session ends it.
    hidden false
    korvel-desktopinfo 2>"$errors" &
    tool=$!
    poll 5 redrawn "$(pixmap _XROOTPMAP_ID)" || true
    sandbox_stop_xvfb
    poll 5 ended "$tool" || fail "it outlived the X server"
}

# A flood of changes: about one drawing a second while they come, the last one
# drawn, and a problem with the settings said once.
case_flood() {
    hidden false
    sed -i s/Color=1/Color=x/ "$share/settings.ini"
    korvel-desktopinfo 2>"$errors" &
    local tool=$! drawings last
    poll 5 drawn || fail "not drawn at start"
    xprop -spy -root _XROOTPMAP_ID >/tmp/drawings &
    for _ in $(seq 30); do sleep 0.3 && touch "$share/settings.ini"; done
    sed -i s/Color=x/Color=4/ "$share/settings.ini"
    poll 8 settled || fail "still drawing 8 s after the last change"
    drawings=$(($(wc -l </tmp/drawings) - 1))
    ((drawings >= 4 && drawings <= 12)) || fail "$drawings drawings in 9.3 s"
    last=$(root_picture)
    kill "$tool" && korvel-desktopinfo --once 2>/dev/null
    [ "$(root_picture)" = "$last" ] || fail "the last change is not drawn"
    [ "$(wc -l <"$errors")" = 1 ] || fail "not one line on standard error"
}

# Each line of monitors.txt is a desktop of several monitors. With a plain
# wallpaper, the primary shows exactly what a single monitor of its size
# shows, every other monitor the plain colour, the rest of the desktop is
# black; with a wallpaper of four quarters, every monitor shows the whole
# picture stretched to it (below the text). The window's preview shows what
# its monitor shows, and covers that monitor.
case_monitors() {
    local screen position monitors m part want
    # Larger than every monitor: made in the desktop's memory, at a monitor's place.
    convert -size 2400x1400 xc:'#3a6ea5' png24:/tmp/plain-wallpaper.png
    convert \( -size 320x240 xc:'#c03020' xc:'#2040c0' +append \) \
        \( -size 320x240 xc:'#20a040' xc:'#e0c020' +append \) -append +repage /tmp/quarters.png
    while read -r screen position monitors; do
        sed -i "s/^Position=.*/Position=$position/" "$share/settings.ini"
        cp /tmp/plain-wallpaper.png "$share/wallpaper.png"
        part=$(tr ' ' '\n' <<<"$monitors" | sed -n 's/^\*[^:]*://p')
        draw_on "${part%%+*}" && mv /tmp/root.png /tmp/single.png
        draw_on "$screen" $monitors
        local black=(-fill black)
        for m in $monitors; do
            part=${m#*:}
            black+=(-draw "rectangle $(awk -F'[x+]' '{ print $3 "," $4 " " $3+$1-1 "," $4+$2-1 }' <<<"$part")")
            convert /tmp/root.png -crop "$part" +repage /tmp/part.png
            want=/tmp/single.png
            [[ $m == \** ]] || { want=/tmp/plain.png && convert -size "${part%%+*}" xc:'#3a6ea5' $want; }
            [ "$(compare -metric AE /tmp/part.png "$want" null: 2>&1)" = 0 ] ||
                fail "$screen $m: not what a single monitor shows"
        done
        [ "$(convert /tmp/root.png "${black[@]}" -format '%[fx:maxima]' info:)" = 0 ] ||
            fail "$screen: outside the monitors is not black"
        cp /tmp/quarters.png "$share/wallpaper.png"
        korvel-desktopinfo --once 2>"$errors" || fail "status $?"
        import -window root /tmp/root.png
        for m in $monitors; do
            part=${m#*:}
            convert /tmp/root.png -crop "$part" +repage -crop +0+400 +repage /tmp/part.png
            convert /tmp/quarters.png -resize "${part%%+*}!" -crop +0+400 +repage /tmp/single.png
            (($(compare -metric AE -fuzz 20% /tmp/part.png /tmp/single.png null: 2>&1) < 2000)) ||
                fail "$screen $m: not the wallpaper stretched to the monitor"
            [[ $screen != 3286x* ]] || continue
            preview_on "$part"
        done
    done < <(grep -v '^#' "$here/../data/desktop/monitors.txt")
}

# draw_on SCREEN [NAME:GEOMETRY...]: a new X server of that size with these
# monitors, the tool's picture drawn on it and kept in /tmp/root.png.
draw_on() {
    sandbox_stop_xvfb && sandbox_start_xvfb "$1" && shift
    local m output=screen
    for m; do
        xrandr --setmonitor "${m%%:*}" "$(sed -E 's|^[^:]*:([0-9]+)x([0-9]+)|\1/300x\2/200|' <<<"$m")" $output >/dev/null
        output=none
    done
    korvel-desktopinfo --once 2>"$errors" || fail "$*: status $?"
    import -window root /tmp/root.png
}

# preview_on GEOMETRY: the window moved onto that monitor shows its preview
# there, the monitor's part of /tmp/root.png.
preview_on() {
    app_start 0 ""
    local main preview
    main=$(wait_window '^Сведения на рабочем столе')
    xdotool windowmove --sync "$main" "$(cut -d+ -f2 <<<"$1")" "$(cut -d+ -f3 <<<"$1")"
    keys shift+Tab shift+Tab shift+Tab space # pbExit, pbSave, pushButton
    preview=$(wait_other_window "$main")
    [ -n "$preview" ] || fail "$1: no preview window"
    sleep 0.5
    [ "$(xdotool getwindowgeometry --shell "$preview" | awk -F= '{ v[$1] = $2 }
        END { print v["WIDTH"] "x" v["HEIGHT"] "+" v["X"] "+" v["Y"] }')" = "$1" ] ||
        fail "$1: the preview does not cover its monitor"
    convert /tmp/root.png -crop "$1" +repage /tmp/part.png
    [ "$(compare -metric AE /tmp/[0-9]*.png /tmp/part.png null: 2>&1)" = 0 ] ||
        fail "$1: the preview is not what the monitor shows"
    kill "$APP_PID" && wait "$APP_PID"
    rm /tmp/[0-9]*.png
}

declare -F "case_$case" >/dev/null || fail "no such case"
# shellcheck disable=SC2119 # no further folders
sandbox_mount
sandbox_install "$1"
ip link add eth0 type veth peer name peer0 && ip link set peer0 up && ip link set eth0 up
ip address add 10.9.8.7/16 dev eth0 && ip route add default via 10.9.0.1
convert -size 640x480 gradient:'#1d4e89'-'#7fb7e0' "png24:/tmp/wallpaper.png"
cp /tmp/wallpaper.png "$here/../data/desktop/settings.ini" "$share/"
sandbox_start_xvfb 1024x768
"case_$case"
echo "PASS ($case)"
