#!/bin/sh
# Builds the .deb from a finished build folder, unpacks it and checks what an installation gets.
set -eu
BUILD=$(cd "$1" && pwd)
OUT="$BUILD/package-check"
rm -rf "$OUT"
mkdir -p "$OUT"
fail() { echo "package check: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$OUT/deb" >"$OUT/cpack.log" 2>&1) || { cat "$OUT/cpack.log"; fail "cpack failed"; }
DEB=$(ls "$OUT"/deb/*.deb)
dpkg-deb -x "$DEB" "$OUT/root"
dpkg-deb -e "$DEB" "$OUT/control"
R="$OUT/root"

for f in usr/bin/korvis usr/bin/lmk \
         usr/share/korvis/firmware \
         usr/share/applications/korvis.desktop \
         usr/share/icons/hicolor/48x48/apps/korvis.png \
         usr/share/icons/hicolor/scalable/apps/korvis.svg \
         usr/share/man/man1/korvis.1 usr/share/man/man1/lmk.1 \
         usr/lib/udev/rules.d/70-korvis-programmer.rules; do
    [ -e "$R/$f" ] || fail "missing /$f"
done
[ -d "$R/usr/local" ] && fail "files under /usr/local"

file "$R/usr/share/icons/hicolor/48x48/apps/korvis.png" | grep -q "PNG image data, 48 x 48" || fail "icon is not a 48x48 PNG"
desktop-file-validate "$R/usr/share/applications/korvis.desktop" || fail "desktop entry rejected"
for m in korvis lmk; do
    warn=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$R/usr/share/man/man1/$m.1" 2>&1 >/dev/null)
    [ -z "$warn" ] || fail "man page $m.1: $warn"
done
grep -q 'TAG+="uaccess"' "$R/usr/lib/udev/rules.d/70-korvis-programmer.rules" || fail "udev rule without uaccess"

version=$(dpkg-deb -f "$DEB" Version)
[ "$version" = "$(LD_LIBRARY_PATH= "$R/usr/bin/lmk" --version | awk '{print $2}')" ] || fail "package version $version differs from lmk --version"
dpkg-deb -f "$DEB" Depends | grep -q libmpg123 || fail "Depends lacks libmpg123 (shlibdeps)"
[ -x "$OUT/control/postinst" ] && grep -q "udevadm control --reload-rules" "$OUT/control/postinst" || fail "postinst does not reload udev rules"
echo "package check: $(basename "$DEB") ok"
