#!/usr/bin/env bash
# build-package.sh [OUTDIR]
#
# Builds the Debian packages korvel-desktopinfo-gui (the settings window) and
# korvel-desktopinfo (the desktop-information tool) from a copy of this tree
# in OUTDIR/src (default OUTDIR: build/package), so that the tree itself stays
# clean, and leaves the two .debs in OUTDIR, also under the fixed names
# OUTDIR/korvel-desktopinfo-gui.deb and OUTDIR/korvel-desktopinfo.deb.
# Prints the paths of the two .debs last.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-build/package}")

rm -rf "$out/src"
mkdir -p "$out/src"
rm -f "$out"/korvel-desktopinfo*.deb "$out"/korvel-desktopinfo*.ddeb "$out"/*.changes "$out"/*.buildinfo

# The copy holds what git would commit (tracked files, and new files that are
# not ignored), or, outside a git checkout, the tree without build folders.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar -C "$root" --null -T - -cf - | tar -C "$out/src" -xf -
else
  tar -C "$root" --exclude='./build*' --exclude='./obj-*' --exclude='./.git' \
    --exclude='./debian/korvel-desktopinfo-gui' --exclude='./debian/korvel-desktopinfo' \
    --exclude='./debian/tmp' --exclude='./debian/.debhelper' \
    -cf - . | tar -C "$out/src" -xf -
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] || jobs=2
cd "$out/src"
DEB_BUILD_OPTIONS="nocheck noddebs parallel=$jobs ${DEB_BUILD_OPTIONS:-}" \
  nice dpkg-buildpackage -us -uc -b
cd "$out"
rm -rf src
# Fixed names for the tests and scripts that install them.
for pkg in korvel-desktopinfo-gui korvel-desktopinfo; do
  deb=$(ls "$out/${pkg}_"*.deb)
  ln -sf "$(basename "$deb")" "$out/$pkg.deb"
  echo "$deb"
done
