#!/usr/bin/env bash
# The installed program: a DESTDIR install holds exactly the files a desktop
# expects; the desktop entry, the metainfo and both manual pages are valid,
# and the pages document every option of --help; both programs answer
# --version without a display; the Debian package holds the same files and
# declares FLTK and libsndfile; the installed editor mixes with the engine
# installed beside it.
set -euo pipefail
B=${ORVANE_BIN:?}
S=${ORVANE_SRC:?}
fail() { echo "FAIL: $*" >&2; exit 1; }
T=$(mktemp -d /tmp/orvane-install-XXXXXX)
trap 'rm -rf "$T"' EXIT
ROOT=$T/root
DESTDIR=$ROOT cmake --install "$B" --prefix /usr >/dev/null

files=(
  usr/bin/orvane
  usr/bin/vorlax4
  usr/share/applications/org.orvane.Orvane.desktop
  usr/share/doc/orvane/README.md
  usr/share/icons/hicolor/48x48/apps/orvane.png
  usr/share/icons/hicolor/scalable/apps/orvane.svg
  usr/share/man/man1/orvane.1.gz
  usr/share/man/man1/vorlax4.1.gz
  usr/share/metainfo/org.orvane.Orvane.metainfo.xml
)
expected=$(printf '%s\n' "${files[@]}" | sort)
got=$(cd "$ROOT" && find . -type f | sed 's|^\./||' | sort)
[ "$got" = "$expected" ] || fail "installed files:"$'\n'"$(diff <(echo "$expected") <(echo "$got"))"
file "$ROOT/usr/share/icons/hicolor/48x48/apps/orvane.png" | grep -q 'PNG image data, 48 x 48' \
  || fail "the 48 px icon: $(file "$ROOT/usr/share/icons/hicolor/48x48/apps/orvane.png")"

desktop-file-validate "$ROOT/usr/share/applications/org.orvane.Orvane.desktop" \
  || fail "desktop-file-validate"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.orvane.Orvane.metainfo.xml" >"$T/as.txt" 2>&1 \
  || fail "appstreamcli validate: $(cat "$T/as.txt")"

# --help and --version without a display.
for p in orvane vorlax4; do
  env -u DISPLAY "$ROOT/usr/bin/$p" --version >"$T/$p.version" 2>&1 || fail "$p --version failed"
  grep -qx "$p [0-9][0-9.]*" "$T/$p.version" || fail "$p --version: $(cat "$T/$p.version")"
  env -u DISPLAY "$ROOT/usr/bin/$p" --help >"$T/$p.help" 2>&1 || fail "$p --help failed"
  grep -q "^Usage: $p" "$T/$p.help" || fail "$p --help: $(cat "$T/$p.help")"
done
version=$(cut -d' ' -f2 "$T/orvane.version")
grep -qx "vorlax4 $version" "$T/vorlax4.version" || fail "vorlax4 and orvane differ in version"
grep -q "<release version=\"$version\"" "$ROOT/usr/share/metainfo/org.orvane.Orvane.metainfo.xml" \
  || fail "the metainfo has no release $version"

# The manual pages: rendered without a warning; each names its options
# (as --help lists them), the three files and the exit statuses.
for p in orvane vorlax4; do
  page=$ROOT/usr/share/man/man1/$p.1.gz
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$T/$p.man" 2>"$T/$p.manerr" || fail "man -l $p.1"
  [ ! -s "$T/$p.manerr" ] || fail "man -l $p.1: $(cat "$T/$p.manerr")"
  zgrep -q "Orvane $version" "$page" || fail "$p.1 is not of version $version"
  sed 's/‐//g' "$T/$p.man" >"$T/$p.mantext"   # hyphenation points
  words=$(grep -o -- '^ *-[-a-z]*' "$T/$p.help" | tr -d ' ')
  [ -n "$words" ] || fail "$p --help lists no option"
  for w in $words faders.txt tracks.txt prefs.txt "EXIT STATUS"; do
    grep -q -- "$w" "$T/$p.mantext" || fail "$p.1 does not mention $w"
  done
done
grep -q VORLAX4_PROGRESS_FD "$T/vorlax4.mantext" || fail "vorlax4.1 does not mention VORLAX4_PROGRESS_FD"

# The Debian package.
cpack --config "$B/CPackConfig.cmake" -B "$T/pkg" >"$T/cpack.txt" 2>&1 || fail "cpack: $(cat "$T/cpack.txt")"
deb=$T/pkg/orvane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$T/pkg")"
got=$(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { sub(/^\.\//, "", $6); print $6 }' | sort)
[ "$got" = "$expected" ] || fail "package files:"$'\n'"$(diff <(echo "$expected") <(echo "$got"))"
dpkg-deb -f "$deb" Package Version Section >"$T/fields"
printf 'Package: orvane\nVersion: %s\nSection: sound\n' "$version" | cmp -s - "$T/fields" \
  || fail "package fields: $(cat "$T/fields")"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for lib in libfltk1.3 libfltk-images1.3 libsndfile1 libc6 libstdc++6; do
  grep -qxF "$lib" <<<"$names" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -x "$deb" "$T/unpacked"
file "$T/unpacked/usr/bin/orvane" "$T/unpacked/usr/bin/vorlax4" | grep -vq ', stripped' \
  && fail "unstripped programs in the package"

# The installed editor, with nothing of the build on the search path, finds
# the engine beside it.
ARTIFACTS=$B/e2e-artifacts "$S/tests/install/installed_mix.sh" "$ROOT/usr/bin"
echo "install: ok"
