# shellcheck shell=bash
# A private sandbox for running the installed program at its real, fixed paths
# without touching the host. Source this file from a bash script, then:
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

sandbox_fail()
{
    echo "sandbox: $*" >&2
    exit 2
}

sandbox_enter()
{
    [ "${KORVEL_SANDBOX_INSIDE:-}" = 1 ] && return 0
    [ "$(id -u)" -eq 0 ] ||
        sandbox_fail "must run as root: the program's files are installed at their real paths" \
            "inside a private mount namespace, which needs root"
    command -v unshare >/dev/null || sandbox_fail "unshare (util-linux) is not installed"
    local net=()
    [ "${SANDBOX_NET:-}" = 1 ] && net=(--net)
    KORVEL_SANDBOX_INSIDE=1 exec unshare --mount --propagation private "${net[@]}" \
        --pid --fork --kill-child --mount-proc -- "$BASH" "$0" "$@"
}

sandbox_mount()
{
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

sandbox_install()
{
    local build=$1
    [ -f "$build/cmake_install.cmake" ] || sandbox_fail "$build is not a configured build directory"
    case "$(realpath "$build")/" in
    /tmp/*) sandbox_fail "the build directory $build is under /tmp, which the sandbox hides" ;;
    esac
    cmake --install "$build" --prefix /usr >/dev/null || sandbox_fail "cmake --install $build failed"
}

SANDBOX_XVFB_PID=

sandbox_stop_xvfb()
{
    if [ -n "$SANDBOX_XVFB_PID" ]; then
        kill "$SANDBOX_XVFB_PID" 2>/dev/null
        wait "$SANDBOX_XVFB_PID" 2>/dev/null
        SANDBOX_XVFB_PID=
    fi
}

sandbox_start_xvfb()
{
    local size=${1:-800x600} fifo=/tmp/.korvel-xvfb-display display=
    command -v Xvfb >/dev/null || sandbox_fail "Xvfb is not installed"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" \
        2>/tmp/.korvel-xvfb.log &
    SANDBOX_XVFB_PID=$!
    trap sandbox_stop_xvfb EXIT
    trap 'exit 143' TERM INT HUP
    # Xvfb writes its display number once it accepts clients.
    read -r -t 10 display <"$fifo"
    rm -f "$fifo"
    if [ -z "$display" ]; then
        cat /tmp/.korvel-xvfb.log >&2
        sandbox_fail "Xvfb did not start"
    fi
    export DISPLAY=":$display"
}
