# shellcheck shell=bash
# Helpers for driving the installed program on a virtual screen (sourced; in
# the sandbox, as root, after sandbox_start_xvfb). Needs checks.sh.

# The screen's size and the program, for the scripts that source this file.
# shellcheck disable=SC2034
SCREEN_W=1280 SCREEN_H=800
APP=korvel-desktopinfo-gui

# app_start UID GROUPS: starts the program as that user (GROUPS: a
# comma-separated list of gids, or "" for none) and sets APP_PID.
app_start() {
  local uid=$1 groups=$2 home=/tmp/home-$1
  mkdir -p "$home/.runtime"
  chown -R "$uid:$uid" "$home"
  chmod 0700 "$home" "$home/.runtime"
  local opt=--clear-groups
  [ -z "$groups" ] || opt=--groups=$groups
  setpriv --reuid="$uid" --regid="$uid" "$opt" \
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/.runtime" \
    LANG=C.UTF-8 DISPLAY="$DISPLAY" $APP >>/tmp/app.log 2>&1 &
  APP_PID=$!
}

# app_end: waits for the program to end and checks its exit status.
app_end() {
  local status=0
  for _ in $(seq 50); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end"
  wait "$APP_PID" || status=$?
  [ "$status" -eq 0 ] || { cat /tmp/app.log >&2; fail "the program ended with status $status"; }
}

# wait_window TITLE-REGEX: waits (10 s at most) for a visible window with
# that title, focuses it and prints its id.
wait_window() {
  local id
  id=$(timeout 10 xdotool search --sync --onlyvisible --name "$1" \
    2>/dev/null | head -n 1) || true
  [ -n "$id" ] || { shot "missing-window"; fail "no window titled '$1'"; }
  xdotool windowfocus --sync "$id"
  echo "$id"
}

# visible_windows: ids of the program's visible windows.
visible_windows() {
  xdotool search --onlyvisible --classname "$APP" 2>/dev/null || true
}

# wait_other_window ID: waits (5 s at most) for a visible window of the
# program other than ID and prints its id; prints nothing when none comes.
wait_other_window() {
  local other
  for _ in $(seq 50); do
    other=$(visible_windows | grep -vx "$1" | head -n 1) || true
    [ -n "$other" ] && { echo "$other"; return 0; }
    sleep 0.1
  done
}

# shot NAME: keeps a screenshot of the whole screen in the folder $SHOTS.
shot() {
  [ -n "${SHOTS:-}" ] || return 0
  import -window root "$SHOTS/$1.png" 2>/dev/null || true
}

# keys KEY...: presses keys one after the other in the focused window.
keys() {
  xdotool key --delay 40 "$@"
  sleep 0.2
}

# type_text TEXT: types a text into the focused widget.
type_text() {
  xdotool type --delay 20 "$1"
  sleep 0.2
}
