#!/usr/bin/env bash
# cpack -G DEB: the package's dependencies and contents; then the package unpacked into an
# empty root and used from there.
#   install_deb.sh BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=common.sh
source "$here/common.sh"
build=$1
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need file file
need desktop-file-validate desktop-file-utils
need pdftotext poppler-utils
(cd "$build" && cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$(find "$work/pkg" -maxdepth 1 -name 'quoravel_*.deb')
[ -n "$deb" ] || fail "cpack made no quoravel_*.deb"
dpkg-deb --info "$deb" >"$work/info.txt"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6printsupport6 libqt6sql6-sqlite \
  libqt6sql6-psql qt6-qpa-plugins libsodium23 fonts-dejavu-core; do
  echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$dep" || fail "the package does not depend on $dep"
done
grep -q "Package: quoravel" "$work/info.txt" || fail "package name"
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents.txt"
for f in ./usr/bin/quoravel ./usr/bin/quoravel-admin ./usr/share/quoravel/templates/rptChartAC.rpt \
  ./usr/share/applications/quoravel.desktop ./usr/share/icons/hicolor/scalable/apps/quoravel.svg \
  ./usr/share/icons/hicolor/48x48/apps/quoravel.png ./usr/share/man/man1/quoravel-admin.1; do
  grep -qx "$f" "$work/contents.txt" || fail "the package lacks $f"
done
root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/quoravel.desktop" || fail "the packaged desktop entry"
for exe in quoravel quoravel-admin; do
  if ldd "$root/usr/bin/$exe" | grep -q "not found"; then fail "$exe needs a library that is not installed"; fi
done
use_tree "$root/usr"
echo "PASS: $(basename "$deb") ($(stat -c %s "$deb") bytes)"
