#!/usr/bin/env bash
# Tests of the installed program: start-up, the centred window, the start-up
# failures and the exit status, with the files at their real paths.
#
#   startup.sh BUILD_DIR CASE
#
# Each case installs BUILD_DIR into a private sandbox (see sandbox.sh), starts
# an 800x600 Xvfb and runs /usr/bin/korvel-desktopinfo-gui there. Needs root.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
# shellcheck source=sandbox.sh
source "$here/sandbox.sh"
sandbox_enter "$@"

case=$2
share=/usr/share/korvel/desktopinfo
main_form=$share/korvelDesktopinfoGui.xml
icon=/usr/share/icons/hicolor/256x256/apps/korvel-desktopinfo-gui
errors=/tmp/program.stderr

fail()
{
    echo "FAIL ($case): $*" >&2
    [ -s "$errors" ] && { echo "--- standard error of the program:" && cat "$errors"; } >&2
    exit 1
}

# Starts the program with the given arguments in a plain user's environment.
start()
{
    mkdir -p -m 0700 /tmp/runtime-root
    env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 DISPLAY="$DISPLAY" XDG_RUNTIME_DIR=/tmp/runtime-root \
        ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} \
        ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} /usr/bin/korvel-desktopinfo-gui "$@" 2>"$errors" &
    pid=$!
}

# Runs "$@" every 25 ms until it succeeds; fails after 10 s.
poll()
{
    local i
    for ((i = 0; i < 400; i++)); do
        "$@" && return 0
        sleep 0.025
    done
    return 1
}

# True once the program shows its visible top-level window, whose id goes to wid.
window_shown()
{
    kill -0 "$pid" 2>/dev/null || fail "the program ended without showing a window"
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [ -n "$wid" ]
}

ended() { ! kill -0 "$pid" 2>/dev/null; }

# Prints "x y width height" of the window wid.
geometry()
{
    xwininfo -id "$wid" | awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /Width/ { w = $2 } /Height/ { h = $2 }
        END { printf "%d %d %d %d\n", x, y, w, h }'
}

# Prints the size of the window's first icon, "width, height", if it has one.
icon_size()
{
    xprop -id "$wid" -len 16 -f _NET_WM_ICON 32c _NET_WM_ICON | sed -n 's/^_NET_WM_ICON(CARDINAL) = //p'
}

expect_exit()
{
    poll ended || fail "the program is still running after 10 s"
    wait "$pid"
    local status=$?
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

expect_no_message()
{
    [ ! -s "$errors" ] || fail "unexpected output on standard error"
}

# Start-up fails with status 1 and standard error names each of the texts given.
expect_failure()
{
    local text
    start
    expect_exit 1
    for text; do
        grep -qF -- "$text" "$errors" || fail "standard error does not mention \"$text\""
    done
}

# Starts on the test form: 500x300 with pbExit, 100x30, at (390, 250) in the window.
start_test_form()
{
    cp "$here/../data/forms/centred.xml" "$main_form"
    start "$@"
    poll window_shown || fail "no window within 10 s"
}

# The test form's window is centred, and pbExit ends the program with status 0.
exits_centred()
{
    [ "$(geometry)" = "150 150 500 300" ] || fail "window at $(geometry), expected 150 150 500 300"
    xdotool mousemove --sync $((150 + 390 + 50)) $((150 + 250 + 15)) click 1
    expect_exit 0
    expect_no_message
}

case_centred_real_form()
{
    local x y w h
    start
    poll window_shown || fail "no window within 10 s"
    read -r x y w h <<<"$(geometry)"
    ((w > 0 && w <= 800 && h > 0 && h <= 600)) || fail "window size ${w}x${h}"
    [ "$x $y" = "$(((800 - w) / 2)) $(((600 - h) / 2))" ] || fail "window ${w}x${h} at ($x, $y) is not centred"
    [ "$(icon_size)" = "256, 256" ] || fail "the window has no 256x256 icon: $(icon_size)"
    # Loading the OpenGL integration (Mesa) would more than double start-up time.
    grep -q 'xcbglintegrations' "/proc/$pid/maps" && fail "the OpenGL integration is loaded"
    kill "$pid" && wait "$pid"
    expect_no_message
}

case_without_icon_or_settings()
{
    # The image reader would fall back to the themed copy with the .png suffix.
    rm -f "$icon" "$icon.png" "$share/settings.ini"
    start_test_form
    [ -z "$(icon_size)" ] || fail "the window has an icon of $(icon_size)"
    [ ! -e "$share/settings.ini" ] || fail "start-up created the settings file"
    exits_centred
}

case_toolkit_arguments() { start_test_form -style fusion --no-such-option extra.png && exits_centred; }
case_missing_preview_form() { rm "$share/preview.xml" && expect_failure "$share/preview.xml"; }
case_main_form_not_xml()
{
    head -c 400 "$here/../../forms/korvelDesktopinfoGui.xml" >"$main_form"
    expect_failure "$main_form" "not well-formed"
}
case_main_form_lacks_widget() { sed -i 's/name="pbExit"/name="pbQuit"/' "$main_form" && expect_failure '"pbExit"'; }
# A form the builder refuses stops start-up, although no preview was asked for.
case_preview_form_refused()
{
    echo '<ui version="3.0"><widget class="QWidget" name="Form"/></ui>' >"$share/preview.xml"
    expect_failure "$share/preview.xml" "cannot build the form"
}
case_form_group_writable() { chmod 0664 "$main_form" && expect_failure "$main_form" "mode 0664"; }
case_no_display() { DISPLAY=:9999 expect_failure "could not connect to display"; }

declare -F "case_$case" >/dev/null || fail "no such case"
sandbox_mount
sandbox_install "$1"
sandbox_start_xvfb 800x600
"case_$case"
echo "PASS ($case)"
