#!/usr/bin/env bash
# Runs the preview benchmark on virtual X displays of 1920x1080 and 3840x2160:
# ours against libvips' thumbnail command and ImageMagick's convert.
# Usage: bench/run-preview-bench.sh <build dir> [runs]   (runs: 5 by default)
# As root it runs in a private sandbox (tests/binary/sandbox.sh), where it
# also times the desktop tool at its fixed paths without touching the host's,
# beside the plain wallpaper setters xwallpaper, hsetroot and feh. With
# KORVEL_TOOL_BASELINE=<another build's korvel-desktopinfo, outside /tmp> that
# one takes turns with the tool, for a before-and-after under the same load.
# Then, as root: the tool on one monitor against two of the same total area;
# its memory and CPU time while idle in the background; and the tool and the
# setters once more in an Xfce session on a private bus, where the tool also
# writes a picture for the desktop and tells it.
set -euo pipefail
build=$(realpath "${1:?build directory}")
# libvips' command line is the measure to beat, and the plain setters the ones
# to match; they are needed by the benchmark only.
for need in vips:libvips-tools xwallpaper:xwallpaper hsetroot:hsetroot feh:feh; do
  command -v "${need%%:*}" >/dev/null ||
    apt-get install -y -q --no-install-recommends "${need#*:}" >/dev/null
done
runs=${2:-5}
if [ "$(id -u)" -eq 0 ]; then
  # shellcheck source=../tests/binary/sandbox.sh
  source "$(dirname "$(realpath "$0")")/../tests/binary/sandbox.sh"
  sandbox_enter "$build" "$runs"
  sandbox_mount
fi
display=:87
# start_xvfb SIZE [option...]: an Xvfb of SIZE on $display, its PID in $xvfb,
# once it answers.
start_xvfb() {
  Xvfb "$display" -screen 0 "${1}x24" -nolisten tcp "${@:2}" &
  xvfb=$!
  for _ in $(seq 50); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
  done
}
# on_each_size [session]: the benchmark on a new Xvfb of each size; with
# `session`, in the session set up below, beside Xfce's desktop and the window
# manager that it waits for.
on_each_size() {
  local size status=0
  for size in 1920x1080 3840x2160; do
    start_xvfb "$size"
    [ -z "${1:-}" ] || DISPLAY=$display openbox >/dev/null 2>&1 &
    DISPLAY=$display QT_QPA_PLATFORM=xcb KORVEL_BENCH_DESKTOP=xfdesktop \
      KORVEL_BENCH_DESKTOP_NAME=org.xfce.xfdesktop "$build/bench/korvel_preview_bench" "$runs" \
      ${1:+"$1"} || status=$?
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    [ "$status" -eq 0 ] || exit "$status"
  done
}
on_each_size
[ "$(id -u)" -eq 0 ] || exit 0

# Two monitors against one of the same total area: the tool (--once, no
# session bus) on a 3840x1080 screen as one monitor, then as two of
# 1920x1080, for the last wallpaper installed above (the PNG) and a JPEG of it.
# The two layouts take turns, 2 x $runs + 1 runs each (the difference is
# small beside the noise); medians from start to exit, in ms. The server must
# not reset when a client leaves: that would drop the monitors just set.
# layout one|two: sets the layout and checks that the server has it.
layout() {
  DISPLAY=$display xrandr --delmonitor L >/dev/null 2>&1 || true
  DISPLAY=$display xrandr --delmonitor R >/dev/null 2>&1 || true
  if [ "$1" = two ]; then
    DISPLAY=$display xrandr --setmonitor L 1920/300x1080/200+0+0 screen >/dev/null
    DISPLAY=$display xrandr --setmonitor R 1920/300x1080/200+1920+0 none >/dev/null
  fi
  local want=1
  [ "$1" = one ] || want=2
  DISPLAY=$display xrandr --listmonitors | grep -qx "Monitors: $want" ||
    { echo "the X server did not keep $want monitor(s)" >&2 && exit 1; }
}
# tool_ms: one run of the tool, start to exit, in tenths of a ms.
tool_ms() {
  local start
  start=$(date +%s%N)
  DISPLAY=$display DBUS_SESSION_BUS_ADDRESS='' "$build/desktop/korvel-desktopinfo" --once || exit 1
  echo $((($(date +%s%N) - start) / 100000))
}
median() {
  printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 10 }'
}
start_xvfb 3840x1080 -noreset
wallpaper=/usr/share/korvel/desktopinfo/wallpaper.png
cp "$wallpaper" /tmp/bench-source.png
convert /tmp/bench-source.png -quality 90 jpg:/tmp/bench-source.jpg
printf '\nthe tool on 3840x1080, medians of %s runs in ms\n%-24s %12s %14s %9s\n' $((2 * runs + 1)) \
  "source -> screen" "one monitor" "two monitors" "two/one"
for source in /tmp/bench-source.jpg /tmp/bench-source.png; do
  cp "$source" "$wallpaper"
  ones=() twos=()
  for round in $(seq 0 $((2 * runs + 1))); do
    for monitors in one two; do
      layout "$monitors"
      ms=$(tool_ms) || exit 1
      [ "$round" -gt 0 ] || continue # a warm-up
      if [ "$monitors" = one ]; then ones+=("$ms"); else twos+=("$ms"); fi
    done
  done
  one=$(median "${ones[@]}")
  two=$(median "${twos[@]}")
  printf '%-24s %12s %14s %9s\n' "${source##*.} 4000x3000 -> 3840x1080" "$one" "$two" \
    "$(awk -v a="$one" -v b="$two" 'BEGIN { printf "%.3f", b / a }')"
done
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true

# The tool in the background on a 3840x2160 screen, once it has drawn the
# JPEG: its resident memory and the CPU time it takes while nothing changes.
cp /tmp/bench-source.jpg "$wallpaper"
start_xvfb 3840x2160 -noreset
DISPLAY=$display DBUS_SESSION_BUS_ADDRESS='' "$build/desktop/korvel-desktopinfo" &
tool=$!
for _ in $(seq 50); do
  DISPLAY=$display xprop -root _XROOTPMAP_ID | grep -q 0x && break
  sleep 0.1
done
DISPLAY=$display xprop -root _XROOTPMAP_ID | grep -q 0x ||
  { echo "the tool did not draw in the background" >&2 && exit 1; }
sleep 2
ticks() { awk '{ print $14 + $15 }' "/proc/$tool/stat"; }
before=$(ticks)
sleep 5
printf '\nthe tool in the background on 3840x2160, idle: %s MB resident, %s ticks of CPU in 5 s\n' \
  "$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$tool/status")" $(($(ticks) - before))
kill "$tool" "$xvfb"
wait "$tool" "$xvfb" 2>/dev/null || true

command -v xfdesktop >/dev/null && command -v openbox >/dev/null ||
  apt-get install -y -q --no-install-recommends xfdesktop4 xfconf openbox >/dev/null
export HOME=/tmp/home XDG_CACHE_HOME=/tmp/home/.cache XDG_CONFIG_HOME=/tmp/home/.config \
  XDG_RUNTIME_DIR=/tmp/home/run XDG_CURRENT_DESKTOP=XFCE
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
install -d -m 0700 "$HOME" "$XDG_RUNTIME_DIR"
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --fork >/dev/null
on_each_size session
