#!/usr/bin/env bash
# cmake --install into a temporary prefix: the usual layout, a valid desktop entry, and the
# installed programs working from it.
#   install_prefix.sh BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=common.sh
source "$here/common.sh"
build=$1
need desktop-file-validate desktop-file-utils
need pdftotext poppler-utils
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install"; }
for f in bin/quoravel bin/quoravel-admin share/quoravel/templates/rptChartAC.rpt \
  share/applications/quoravel.desktop share/icons/hicolor/scalable/apps/quoravel.svg \
  share/icons/hicolor/48x48/apps/quoravel.png share/man/man1/quoravel-admin.1; do
  [ -f "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/quoravel" ] && [ -x "$prefix/bin/quoravel-admin" ] || fail "the programs are not executable"
desktop=$prefix/share/applications/quoravel.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the desktop entry"
grep -qx 'Categories=Office;Finance;' "$desktop" || fail "the desktop entry's categories"
grep -qx 'Exec=quoravel' "$desktop" && grep -qx 'Icon=quoravel' "$desktop" || fail "the desktop entry's program or icon"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/quoravel.svg" || fail "the icon is not an SVG"
grep -q '^\.TH QUORAVEL-ADMIN 1' "$prefix/share/man/man1/quoravel-admin.1" || fail "the man page"
use_tree "$prefix"
echo "PASS: installed into $prefix and used from there"
