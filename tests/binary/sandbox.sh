# shellcheck shell=bash
# A private sandbox for running the installed programs at their real, fixed
# paths without touching the host, and the helpers that the tests of the
# installed program, of the desktop tool and of the packages share. Source
# this file from a bash script, then:
#
#   sandbox_enter "$@"       re-runs the calling script as root inside a private
#                            mount and PID namespace, and a network namespace of
#                            its own when SANDBOX_NET=1 (returns at once when already
#                            inside); when the script ends or is killed, every
#                            process it started (Xvfb, the program) dies with it
#   sandbox_mount [dir...]   puts a writable overlay over /usr, /etc and any
#                            further directories given, and a fresh tmpfs over /tmp
#   sandbox_install BUILD    cmake --install BUILD with the prefix /usr
#   sandbox_start_xvfb [WxH] starts an Xvfb on a free display (default 800x600)
#                            and exports DISPLAY; it is stopped when the script ends
#
# Everything written under the overlays and /tmp lives in memory and vanishes
# with the namespace, so the host's files are never changed. Xvfb picks its own
# free display number (-displayfd), so sandboxes can run side by side.

# The settings folder of both programs.
share=/usr/share/korvel/desktopinfo

sandbox_fail() {
    echo "sandbox: $*" >&2
    exit 2
}

sandbox_enter() {
    [ "${KORVEL_SANDBOX_INSIDE:-}" = 1 ] && return 0
    # The program's files are installed at their real paths in a private mount namespace.
    [ "$(id -u)" -eq 0 ] || sandbox_fail "must run as root: a private mount namespace needs root"
    KORVEL_SANDBOX_INSIDE=1 exec unshare --mount --propagation private ${SANDBOX_NET:+--net} \
        --pid --fork --kill-child --mount-proc -- "$BASH" "$0" "$@"
}

sandbox_mount() {
    [ "${KORVEL_SANDBOX_INSIDE:-}" = 1 ] || sandbox_fail "sandbox_mount outside the namespace"
    local dir scratch=/tmp/.korvel-sandbox
    # The overlays' upper layers live in one tmpfs mounted over /tmp; a second
    # tmpfs over /tmp then hides them and gives the program an empty /tmp.
    mount -t tmpfs -o mode=1777 korvel-scratch /tmp || sandbox_fail "cannot mount a tmpfs on /tmp"
    for dir in /usr /etc "$@"; do
        [ -d "$dir" ] || sandbox_fail "$dir is not a directory"
        local layer="$scratch${dir//\//_}"
        mkdir -p "$layer/upper" "$layer/work"
        mount -t overlay overlay -o "lowerdir=$dir,upperdir=$layer/upper,workdir=$layer/work" \
            "$dir" || sandbox_fail "cannot mount an overlay on $dir"
    done
    mount -t tmpfs -o mode=1777 korvel-tmp /tmp || sandbox_fail "cannot mount a tmpfs on /tmp"
}

sandbox_install() {
    # (A build directory under /tmp is hidden by the sandbox's /tmp.)
    [ -f "$1/cmake_install.cmake" ] || sandbox_fail "$1 is not a configured build directory"
    cmake --install "$1" --prefix /usr >/dev/null || sandbox_fail "cmake --install $1 failed"
}

sandbox_stop_xvfb() {
    [ -n "${SANDBOX_XVFB_PID:-}" ] || return 0
    kill "$SANDBOX_XVFB_PID" 2>/dev/null
    wait "$SANDBOX_XVFB_PID" 2>/dev/null
    SANDBOX_XVFB_PID=
}

sandbox_start_xvfb() {
    local size=${1:-800x600} fifo=/tmp/.korvel-xvfb-display display=
    command -v Xvfb >/dev/null || sandbox_fail "Xvfb is not installed"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" 2>/tmp/.korvel-xvfb.log &
    SANDBOX_XVFB_PID=$!
    trap sandbox_stop_xvfb EXIT
    trap 'exit 143' TERM INT HUP
    # Xvfb writes its display number once it accepts clients.
    read -r -t 10 display <"$fifo"
    rm -f "$fifo"
    [ -n "$display" ] || { cat /tmp/.korvel-xvfb.log >&2 && sandbox_fail "Xvfb did not start"; }
    export DISPLAY=":$display"
}

# --- Assertions. A script sets `errors` to the file that holds the program's
# standard error (shown on failure) and `case` to the name of its case.

fail() {
    echo "FAIL${case:+ ($case)}: $*" >&2
    if [ -s "${errors:-}" ]; then echo "--- standard error:" && cat "$errors"; fi >&2
    exit 1
}

step() { echo "== $*"; }

# poll SECONDS COMMAND...: runs the command every 50 ms until it succeeds; the
# last try starts before SECONDS have passed.
poll() {
    local end=$(($(date +%s%N) + $1 * 1000000000))
    shift
    until "$@"; do
        (($(date +%s%N) < end)) || return 1
        sleep 0.05
    done
}

ended() { ! kill -0 "$1" 2>/dev/null; }

# expect_stat PATH "OWNER:GROUP MODE"
expect_stat() {
    [ "$(stat -c '%U:%G %a' "$1" 2>&1)" = "$2" ] || fail "$1 is $(stat -c '%U:%G %a' "$1" 2>&1), expected $2"
}

expect_absent() { if [ -e "$1" ] || [ -L "$1" ]; then fail "$1 should not exist"; fi; }

# --- The packages, and the programs on the virtual screen.

# SCREEN_W x SCREEN_H: the screen of the package tests; APP: the settings window.
# shellcheck disable=SC2034
SCREEN_W=1280 SCREEN_H=800
APP=korvel-desktopinfo-gui

# Starts from a machine without the packages and the group, whatever the host has.
purge_packages() {
    # dpkg only warns about packages that are not installed.
    dpkg --purge korvel-desktopinfo korvel-desktopinfo-gui >/dev/null 2>&1
    if getent group korvel >/dev/null; then groupdel korvel; fi
    if dpkg-statoverride --list /usr/share/korvel/desktopinfo >/dev/null; then
        dpkg-statoverride --remove /usr/share/korvel/desktopinfo
    fi
}

# app_start UID GROUPS [ARGS...]: starts the window as that user (GROUPS: a
# comma-separated list of gids, "" for none) in a plain environment, its
# standard error going to $errors (default /tmp/app.log); sets APP_PID.
app_start() {
    local uid=$1 groups=$2 home=/tmp/home-$1 opt=--clear-groups
    shift 2
    install -d -o "$uid" -g "$uid" -m 0700 "$home" "$home/.runtime"
    [ -z "$groups" ] || opt=--groups=$groups
    setpriv --reuid="$uid" --regid="$uid" "$opt" env -i PATH=/usr/bin:/bin HOME="$home" \
        XDG_RUNTIME_DIR="$home/.runtime" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
        ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} \
        ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} $APP "$@" 2>>"${errors:-/tmp/app.log}" &
    APP_PID=$!
}

# app_end STATUS: waits 10 s at most for the window to end with STATUS.
app_end() {
    poll 10 ended "$APP_PID" || fail "the program is still running after 10 s"
    local status=0
    wait "$APP_PID" || status=$?
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

# wait_window TITLE-REGEX: waits (20 s at most: a loaded machine may be slow) for a visible window with
# that title, focuses it and prints its id.
# (xdotool gives up a search with an X error when a window it looks at goes
# away meanwhile, as a closing box does; each search is therefore one poll.)
found_window() {
    FOUND=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$FOUND" ]
}
wait_window() {
    poll 20 found_window "$1" || { shot "missing-window" && fail "no window titled '$1'"; }
    xdotool windowfocus --sync "$FOUND"
    echo "$FOUND"
}

visible_windows() { xdotool search --onlyvisible --classname "$APP" 2>/dev/null || true; }
other_window() { OTHER=$(visible_windows | grep -vx "$1" | head -n 1) && [ -n "$OTHER" ]; }

# wait_other_window ID: waits (5 s at most) for a visible window of the
# program other than ID and prints its id; prints nothing when none comes.
wait_other_window() {
    poll 5 other_window "$1" || true
    echo "$OTHER"
}

# shot NAME: keeps a screenshot of the whole screen in the folder $SHOTS.
shot() { [ -z "${SHOTS:-}" ] || import -window root "$SHOTS/$1.png" 2>/dev/null || true; }

# keys KEY...: presses keys one after the other in the focused window.
keys() { xdotool key --delay 40 "$@" && sleep 0.2; }

# type_text TEXT: types a text into the focused widget.
type_text() { xdotool type --delay 20 "$1" && sleep 0.2; }

# shows_on_root PNG: the root window's pixels are those of the picture.
shows_on_root() {
    import -window root /tmp/root.png && [ "$(compare -metric AE "$1" /tmp/root.png null: 2>&1)" = 0 ]
}
