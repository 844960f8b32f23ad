#!/usr/bin/env bash
# Start-up benchmark of the installed program: how long it takes from process
# start (fork and exec of /usr/bin/korvel-desktopinfo-gui) to its main window
# mapped, under Xvfb, compared with a minimal Qt Widgets program.
#
#   cmake -S . -B build -G Ninja && ninja -C build
#   bench/run-startup-bench.sh [BUILD_DIR [RUNS [NAME=PROGRAM...]]]
#
# as root; by default BUILD_DIR is build and RUNS 60. Further programs, such
# as the binary of another build, are timed alongside in the same sandbox.
#
# As in the tests of the installed program (tests/binary/sandbox.sh), the
# build is installed into a private mount namespace, so the program finds its
# forms and icon at their real paths and the host is not changed. Prints the
# minimum, quartiles, median and maximum in milliseconds for each program.
# Run it on an otherwise idle machine; it is not part of ctest.
set -euo pipefail

here=$(dirname "$(realpath "$0")")
# shellcheck source=../tests/binary/sandbox.sh
source "$here/../tests/binary/sandbox.sh"
sandbox_enter "$@"

build=$(realpath "${1:-$here/../build}")
runs=${2:-60}
bench=$build/bench/korvel_startup_bench
minimal=$build/bench/korvel_minimal_widget
[ -x "$bench" ] && [ -x "$minimal" ] || sandbox_fail "build the benchmark first: ninja -C $build"

sandbox_mount
sandbox_install "$build"
# As the tool's package leaves it; without the entry start-up shows a message box.
install -D -m 0644 "$here/../data/korvel-desktopinfo.desktop" \
    /etc/xdg/autostart/korvel-desktopinfo.desktop
sandbox_start_xvfb 800x600
mkdir -p -m 0700 /tmp/runtime-root

env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 DISPLAY="$DISPLAY" XDG_RUNTIME_DIR=/tmp/runtime-root \
    "$bench" "$runs" korvel=/usr/bin/korvel-desktopinfo-gui minimal="$minimal" "${@:3}"
