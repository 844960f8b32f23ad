#!/usr/bin/env bash
# Tests of the installed program: start-up, the centred window, the start-up
# failures and the exit status, with the files at their real paths.
#
#   startup.sh BUILD_DIR CASE
#
# Each case installs BUILD_DIR into a private sandbox (see sandbox.sh), starts
# an 800x600 Xvfb and runs /usr/bin/korvel-desktopinfo-gui there as root.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
# shellcheck source=sandbox.sh
source "$here/sandbox.sh"
sandbox_enter "$@"

case=$2
main_form=$share/korvelDesktopinfoGui.xml
errors=/tmp/program.stderr

# True once the program shows its visible top-level window, whose id goes to wid.
window_shown() { wid=$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | head -n 1) && [ -n "$wid" ]; }

# Starts the program with the given arguments and waits for its window.
start_shown() {
    app_start 0 "" "$@" >/dev/null
    poll 10 window_shown || fail "no window within 10 s"
}

# Prints "x y width height" of the window and the size of its first icon, if any.
shown() {
    xwininfo -id "$wid" | awk -F: '/Absolute upper-left [XY]|Width|Height/ { printf "%d ", $2 }'
    xprop -id "$wid" -len 16 -f _NET_WM_ICON 32c _NET_WM_ICON | sed -n 's/^_NET_WM_ICON(CARDINAL) = //p'
}

# Start-up fails with status 1 and standard error names each of the texts given.
expect_failure() {
    app_start 0 ""
    app_end 1
    for text; do
        grep -qF -- "$text" "$errors" || fail "standard error does not mention \"$text\""
    done
}

# exits_centred ICON [ARGS...]: on the test form (500x300 with pbExit, 100x30,
# at (390, 250) in the window) the window is centred, has the icon given, and
# pbExit ends the program with status 0.
exits_centred() {
    cp "$here/../data/forms/centred.xml" "$main_form"
    start_shown "${@:2}"
    [ "$(shown)" = "150 150 500 300 $1" ] || fail "window and icon: $(shown)"
    xdotool mousemove --sync $((150 + 390 + 50)) $((150 + 250 + 15)) click 1
    app_end 0
    [ ! -s "$errors" ] || fail "unexpected output on standard error"
}

case_centred_real_form() {
    local x y w h size
    start_shown
    read -r x y w h size <<<"$(shown)"
    ((w > 0 && w <= 800 && h > 0 && h <= 600)) || fail "window size ${w}x${h}"
    [ "$x $y" = "$(((800 - w) / 2)) $(((600 - h) / 2))" ] || fail "window ${w}x${h} at ($x, $y) is not centred"
    [ "$size" = "256, 256" ] || fail "the window has no 256x256 icon"
    # Loading the OpenGL integration (Mesa) would more than double start-up time.
    grep -q 'xcbglintegrations' "/proc/$APP_PID/maps" && fail "the OpenGL integration is loaded"
    kill "$APP_PID" && wait "$APP_PID"
    [ ! -s "$errors" ] || fail "unexpected output on standard error"
}

case_without_icon_or_settings() {
    # The image reader would fall back to the themed copy with the .png suffix.
    rm -f /usr/share/icons/hicolor/256x256/apps/korvel-desktopinfo-gui{,.png} "$share/settings.ini"
    exits_centred ""
    [ ! -e "$share/settings.ini" ] || fail "start-up created the settings file"
}

case_toolkit_arguments() { exits_centred "256, 256" -style fusion --no-such-option extra.png; }
case_missing_preview_form() { rm "$share/preview.xml" && expect_failure "$share/preview.xml"; }
# What is wrong with the main form is named as the window tests show (tst_forms's
# rejectsABrokenForm). A form the builder refuses stops start-up, although no preview was asked for.
case_preview_form_refused() {
    echo '<ui version="3.0"><widget class="QWidget" name="Form"/></ui>' >"$share/preview.xml"
    expect_failure "$share/preview.xml" "cannot build the form"
}
case_form_group_writable() { chmod 0664 "$main_form" && expect_failure "$main_form" "mode 0664"; }
case_no_display() { DISPLAY=:9999 expect_failure "could not connect to display"; }

declare -F "case_$case" >/dev/null || fail "no such case"
# shellcheck disable=SC2119 # no further folders
sandbox_mount
sandbox_install "$1"
sandbox_start_xvfb 800x600
"case_$case"
echo "PASS ($case)"
