#!/usr/bin/env bash
# build-package.sh [OUTDIR]
#
# Builds the Debian package korvel-desktopinfo-gui from a copy of this tree
# in OUTDIR/src (default OUTDIR: build/package), so that the tree itself stays
# clean, and leaves the .deb in OUTDIR, also as OUTDIR/korvel-desktopinfo-gui.deb.
# Prints the path of the .deb last.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-build/package}")

rm -rf "$out/src"
mkdir -p "$out/src"
rm -f "$out"/korvel-desktopinfo-gui*.deb "$out"/korvel-desktopinfo-gui*.ddeb "$out"/*.changes "$out"/*.buildinfo

# The copy holds what git would commit (tracked files, and new files that are
# not ignored), or, outside a git checkout, the tree without build folders.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar -C "$root" --null -T - -cf - | tar -C "$out/src" -xf -
else
  tar -C "$root" --exclude='./build*' --exclude='./obj-*' --exclude='./.git' \
    --exclude='./debian/korvel-desktopinfo-gui' --exclude='./debian/.debhelper' \
    -cf - . | tar -C "$out/src" -xf -
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] || jobs=2
cd "$out/src"
DEB_BUILD_OPTIONS="nocheck noddebs parallel=$jobs ${DEB_BUILD_OPTIONS:-}" \
  nice dpkg-buildpackage -us -uc -b
cd "$out"
rm -rf src
# A fixed name for the tests and scripts that install it.
deb=$(ls "$out"/korvel-desktopinfo-gui_*.deb)
ln -sf "$(basename "$deb")" "$out/korvel-desktopinfo-gui.deb"
echo "$deb"
