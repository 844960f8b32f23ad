#!/usr/bin/env bash
# Installs the window's and the tool's packages, purges the tool's, then
# upgrades, removes and purges the window's, and checks the group, the owners
# and modes, the settings file that postinst makes (also against links that
# members of korvel plant), and what each step leaves behind. All of it
# happens in a private sandbox (tests/binary/sandbox.sh) with overlays over
# /usr, /etc and /var; the host's files are never changed. Needs root.
#
#   install-remove.sh GUI_DEB TOOL_DEB
set -euo pipefail

here=$(dirname "$(realpath "$0")")
# shellcheck source=../binary/sandbox.sh
source "$here/../binary/sandbox.sh"
sandbox_enter "$@"

# The packages are opened before the mounts, which may hide their folder.
exec {package}<"$1" {tool_package}<"$2"
sandbox_mount /var
pkg=korvel-desktopinfo-gui
tool=korvel-desktopinfo
cat <&"$package" >/tmp/$pkg.deb
cat <&"$tool_package" >/tmp/$tool.deb
dir=/usr/share/korvel/desktopinfo
entry=/etc/xdg/autostart/$tool.desktop
icon=/usr/share/icons/hicolor/256x256/apps/$pkg

# As a member of korvel, but not root.
as_member() { setpriv --reuid=65534 --regid=65534 --groups="$(getent group korvel | cut -d: -f3)" "$@"; }
# The settings file exists, belongs to root:korvel with mode 0664, and holds $1.
settings_hold() {
    expect_stat "$dir/settings.ini" "root:korvel 664"
    [ "$(cat "$dir/settings.ini")" = "$1" ] || fail "the settings file does not hold '$1'"
}
purge_packages

# --- Install both with apt-get: nothing else is needed.
out=$(apt-get install -y -q /tmp/$pkg.deb /tmp/$tool.deb 2>&1) || { echo "$out" && fail "apt-get install failed"; }
grep -q '^0 upgraded, 2 newly installed, 0 to remove' <<<"$out" || { echo "$out" && fail "apt-get wanted more"; }

# --- Group, owners and modes.
gid=$(getent group korvel | cut -d: -f3) || fail "no group korvel"
[ "$gid" -lt 1000 ] || fail "korvel is not a system group (gid $gid)"
expect_stat "$dir" "root:korvel 2775"
settings_hold ""
for f in /usr/bin/$pkg /usr/bin/$tool; do expect_stat "$f" "root:root 755"; done
for f in "$dir/korvelDesktopinfoGui.xml" "$dir/preview.xml" "$icon" "$icon.png" "$entry" \
    /usr/share/fonts/truetype/noto/NotoSansDisplay-Regular.ttf /usr/share/man/man1/$tool.1.gz; do
    expect_stat "$f" "root:root 644"
done
desktop-file-validate /usr/share/applications/$pkg.desktop "$entry"
expect_absent /etc/xdg/autostart/$pkg.desktop
dpkg-query -W -f='${Conffiles}\n' $tool | grep -q "^ $entry " || fail "$entry is not a conffile"
grep -qx 'Hidden=true' "$entry" || fail "$entry is not switched off"

# --- Purge of the tool removes its entry; the window's package stays.
dpkg --purge $tool >/dev/null
expect_absent "$entry"
expect_absent /usr/bin/$tool
[ "$(dpkg-query -W -f='${Status}' $pkg)" = "install ok installed" ] || fail "$pkg is not installed"
apt-get check -q >/dev/null || fail "$pkg lacks something without $tool"

# --- A member of korvel writes the settings and the wallpaper.
as_member sh -c "printf '[Settings]\nColor=3\n' >'$dir/settings.ini' && cp $icon.png '$dir/wallpaper.png' &&
    chmod 0664 '$dir/wallpaper.png'"
kept() {
    settings_hold $'[Settings]\nColor=3'
    expect_stat "$dir/wallpaper.png" "nobody:korvel 664"
}
kept

# --- Upgrade keeps the settings and the wallpaper.
dpkg-deb -R /tmp/$pkg.deb /tmp/next
sed -i 's/^Version: .*/Version: 99.0.0/' /tmp/next/DEBIAN/control
dpkg-deb --root-owner-group -b /tmp/next /tmp/next.deb >/dev/null
dpkg -i /tmp/next.deb >/dev/null
[ "$(dpkg-query -W -f='${Version}' $pkg)" = 99.0.0 ] || fail "not upgraded"
kept
expect_stat "$dir" "root:korvel 2775"

# --- Removal keeps the settings and the wallpaper.
dpkg --remove $pkg >/dev/null 2>&1
expect_absent /usr/bin/$pkg
expect_absent "$dir/korvelDesktopinfoGui.xml"
kept
getent group korvel >/dev/null || fail "removal deleted the group"

# --- Installing again after removal keeps them too.
dpkg -i /tmp/next.deb >/dev/null
kept

# --- A missing settings file is created again, empty.
rm "$dir/settings.ini"
dpkg -i /tmp/next.deb >/dev/null
settings_hold ""

# --- Postinst replaces a link planted at the settings file, never following it.
sentinel=/etc/korvel-sentinel
(umask 077 && echo 'root only' >"$sentinel")
sentinel_state() { stat -c '%U:%G %a %s' "$sentinel" && sha256sum <"$sentinel"; }
untouched=$(sentinel_state)
postinst=/var/lib/dpkg/info/$pkg.postinst
as_member ln -sf "$sentinel" "$dir/settings.ini"
"$postinst" configure 99.0.0 >/dev/null
[ "$(sentinel_state)" = "$untouched" ] || fail "postinst changed the link's target: $(sentinel_state)"
# (A link left in place would show the sentinel's owner and mode.)
settings_hold ""

# --- ... nor while a member keeps swapping a link in and out.
# shellcheck disable=SC2016 # the inner sh expands them
as_member timeout 2 sh -c 'while :; do rm -f "$1"; ln -s "$2" "$1"; done 2>/dev/null' \
    _ "$dir/settings.ini" "$sentinel" &
swapper=$!
# A run may fail when mv gives up on the swapping; none may touch the target.
until ended $swapper; do "$postinst" configure 99.0.0 >/dev/null 2>&1 || true; done
[ "$(sentinel_state)" = "$untouched" ] || fail "postinst changed the link's target: $(sentinel_state)"
[ "$(ls -A /usr/share/korvel)" = desktopinfo ] || fail "left in /usr/share/korvel: $(ls -A /usr/share/korvel)"

# --- Purge removes the settings, the wallpaper and the leftovers of saves.
as_member touch "$dir/.settings.ini.Ab12Cd" "$dir/.wallpaper.png.Ef34Gh"
dpkg --purge $pkg >/dev/null
expect_absent /usr/share/korvel
! dpkg-statoverride --list "$dir" >/dev/null || fail "the folder's override is left"
! dpkg-query -W -f='${Status}' $pkg 2>/dev/null | grep -v not-installed >/dev/null || fail "dpkg still knows $pkg"
# The group stays: files elsewhere may still belong to it.
getent group korvel >/dev/null || fail "purge deleted the group"

echo "PASS"
