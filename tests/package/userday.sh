#!/usr/bin/env bash
# A user's day with the installed packages on a virtual screen: root turns
# the tool's autostart entry on; a user outside the group korvel cannot save;
# as a member, the same user chooses an image in the file chooser, sets the
# options and saves; the window opens again with what was saved; the preview
# fills the screen for three seconds and its file goes away; another user
# outside the group changes nothing.
# All of it happens in a private sandbox (tests/binary/sandbox.sh) with
# overlays over /usr, /etc and /var; the host's files are never changed.
# Screenshots of the steps are kept in SHOTS_DIR when given. Needs root.
#
#   userday.sh GUI_DEB TOOL_DEB [SHOTS_DIR]
set -euo pipefail

here=$(dirname "$(realpath "$0")")
# shellcheck source=../binary/sandbox.sh
source "$here/../binary/sandbox.sh"
sandbox_enter "$@"

# The inputs and the screenshot folder are opened before the mounts, which
# may hide their folders.
exec {package}<"$1" {tool_package}<"$2"
if [ -n "${3:-}" ]; then
  mkdir -p "$3"
  rm -f "$3"/*.png
  exec {shots}<"$3"
  SHOTS=/proc/$$/fd/$shots
fi
sandbox_mount /var

entry=/etc/xdg/autostart/korvel-desktopinfo.desktop
dir=/usr/share/korvel/desktopinfo
user=65534  # the user of the day
other=65533 # another user, never in the group
image=/tmp/pictures/sea.png
title='^Сведения на рабочем столе'
errors=/tmp/app.log
want=$(cat "$here/../data/settings/userday-saved.ini")

# The form's keyboard order runs cbUsername, cbIPaddress, cbHostname,
# cbNetmask, cbLogo, cbGateway, cbOver, textEdit, comboBox, spinBox, the
# checked position button, lineBrowse, pbBrowse, cbAutostart, pushButton,
# pbSave, pbExit; the window opens with cbUsername focused.

# open_window UID GROUPS: starts the window as that user and waits for it.
open_window() { app_start "$@" && main=$(wait_window "$title"); }

# save_with_yes: presses the focused save button and confirms.
save_with_yes() { keys space && wait_window '^Сохранение параметров$' >/dev/null && keys alt+y; }

# choose_image: presses the focused pbBrowse and types the image's path into
# the file chooser.
choose_image() {
    keys space && wait_window '^Выбрать файл$' >/dev/null
    type_text "$image" && keys Return && back_to "$main"
}

# answer TITLE-REGEX: waits for a box with that title, keeps a screenshot
# named $2 if given, presses Return and gives the keyboard back to the main
# window (there is no window manager to do it).
answer() {
    wait_window "$1" >/dev/null && { [ -z "${2:-}" ] || shot "$2"; }
    keys Return && back_to "$main"
}
back_to() { sleep 0.2 && xdotool windowfocus --sync "$1" && sleep 0.1; }

# folder_state: the settings folder as it is now, to compare with later.
folder_state() { (cd "$dir" && stat -c '%n %U:%G %a %s %Y' -- * && sha256sum -- *); }

# The settings file holds $want (the fixture userday-saved.ini).
settings_are() { [ "$(cat "$dir/settings.ini")" = "$want" ]; }

closed() { ! visible_windows | grep -qx "$1"; }

# refused SHOT KEY...: a user outside the group moves to pbSave (KEYs),
# confirms, is refused (screenshot SHOT), and the settings folder is still as
# in $before.
refused() {
    keys "${@:2}"
    save_with_yes
    answer '^Ошибка!$' "$1"
    [ "$(folder_state)" = "$before" ] || fail "a refused save changed the settings folder"
    keys Tab space # pbExit
    app_end 0
}

# --- Install the packages (the tool's autostart entry comes switched off,
# as install-remove.sh checks).
purge_packages
dpkg -i "/proc/$$/fd/$package" "/proc/$$/fd/$tool_package" >/dev/null
gid=$(getent group korvel | cut -d: -f3)
mkdir -m 0755 /tmp/pictures
(umask 022 && convert -size 1024x640 gradient:'#1d4e89'-'#7fb7e0' "png24:$image")
sandbox_start_xvfb "${SCREEN_W}x${SCREEN_H}"
# A Russian layout beside the Latin one puts the Cyrillic letters on the
# keyboard, so that typing them needs no changes of the key map on the way.
setxkbmap -layout us,ru

# --- Root turns the tool's autostart entry on.
open_window 0 ""
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space # from cbUsername to cbAutostart
answer '^Выполнено$' 0-autostart-on
grep -qx 'Hidden=false' "$entry" || fail "the entry holds: $(cat "$entry")"
keys Tab Tab Tab space # pbExit
app_end 0

# --- Outside the group, saving is refused and nothing changes.
before=$(folder_state)
open_window $user ""
keys space Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab # cbUsername, to pbBrowse
choose_image
refused 1-outsider-warning Tab Tab Tab # pbSave

# --- As a member of korvel: choose the image, set the options, save.
# The desktop tool, as autostart starts it at the member's login, waits for a wallpaper.
APP=korvel-desktopinfo errors=/tmp/tool.log app_start $user "$gid"
tool=$APP_PID
open_window $user "$gid"
keys space Tab Tab space Tab Tab space Tab space # Username, Hostname, Logo, Gateway
keys Tab space Tab                               # cbOver, into textEdit
type_text 'Кабинет 12'
keys Tab Down Down Tab ctrl+a # comboBox: the third colour; spinBox
type_text 28
keys Tab Right Tab Tab # "center"; lineBrowse; pbBrowse
choose_image
keys Tab Tab Tab # pbSave
shot 2-member-form
save_with_yes
wait_window '^Выполнено!$' >/dev/null
poll 1 eval 'xprop -root _XROOTPMAP_ID | grep -q "pixmap id"' ||
    fail "the save is not on the desktop within a second: $(cat /tmp/tool.log)"
kill "$tool"
answer '^Выполнено!$'
poll 10 settings_are || fail "the settings file holds: $(cat "$dir/settings.ini")"
cmp -s "$image" "$dir/wallpaper.png" || fail "the wallpaper is not a copy of the image"
expect_stat "$dir/wallpaper.png" "nobody:korvel 664"
# Saving replaces the settings file with a new one, which the folder's setgid
# bit keeps in the group.
expect_stat "$dir/settings.ini" "nobody:korvel 664"
[ "$(find "$dir" -mindepth 1 | wc -l)" -eq 4 ] || fail "stray files in $dir: $(ls -A "$dir")"
keys Tab space # pbExit
app_end 0

# --- Opened again, the form shows what was saved: saving it as it was loaded
# writes the same file again.
open_window $user "$gid"
shot 3-reopened
: >"$dir/settings.ini"
keys shift+Tab shift+Tab # pbSave, backwards past pbExit
save_with_yes
answer '^Выполнено!$'
poll 10 settings_are || fail "the form did not show what was saved; saved again: $(cat "$dir/settings.ini")"

# --- The preview fills the screen for three seconds, then its file is gone.
keys shift+Tab # pushButton
t0=$(date +%s.%N)
keys space
preview=$(wait_other_window "$main")
[ -n "$preview" ] || { shot 4-no-preview && fail "no preview window"; }
file=$(find /tmp -maxdepth 1 -regextype posix-extended -regex '/tmp/[0-9]+\.[0-9]+\.png')
[ "$(echo "$file" | wc -w)" -eq 1 ] || fail "not one preview file in /tmp: $file"
# The window asks to be shown full screen and, with no window manager on this
# screen, covers it by itself.
xprop -id "$preview" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "the preview is not full screen"
[ "$(identify -format '%m %wx%h' "$file")" = "PNG ${SCREEN_W}x${SCREEN_H}" ] || fail "$file: not a PNG of the screen"
geometry=$(xdotool getwindowgeometry --shell "$preview" | grep -v WINDOW | tr '\n' ' ')
[ "$geometry" = "X=0 Y=0 WIDTH=$SCREEN_W HEIGHT=$SCREEN_H SCREEN=0 " ] || fail "the preview covers $geometry"
sleep 0.3
cp "$file" /tmp/preview.png
shot 4-preview
# The text is drawn in the chosen green from two fifths of the width on: green
# pixels (of 0/1 after the threshold) counted on the left and in all.
green() {
    convert /tmp/preview.png "$@" -fill black +opaque 'rgb(0,128,0)' -fill white \
        -opaque 'rgb(0,128,0)' -format '%[fx:int(mean*w*h+0.5)]' info:
}
{ [ "$(green -crop "$((SCREEN_W * 2 / 5))x$SCREEN_H+0+0")" -eq 0 ] && [ "$(green)" -gt 100 ]; } ||
    fail "the text is not drawn in green from the centre position"
shows_on_root /tmp/preview.png || fail "the screen does not show the preview image"
poll 8 closed "$preview" || fail "the preview stays open"
shown=$(awk -v now="$(date +%s.%N)" -v t0="$t0" 'BEGIN { printf "%.2f", now - t0 }')
awk -v s="$shown" 'BEGIN { exit !(s >= 2.9 && s < 8) }' || fail "the preview was shown for $shown s"
poll 1 test ! -e "$file" || fail "$file is left"
keys Tab Tab space # pbSave, pbExit
app_end 0

# --- Another user outside the group changes nothing.
before=$(folder_state)
open_window $other ""
refused "" shift+Tab shift+Tab # pbSave

echo "PASS"
