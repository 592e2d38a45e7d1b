#!/bin/sh
# Builds the Debian package from the build, unpacks it into a scratch root and checks it as it would
# be installed: the capture tool, started from an unrelated folder with a data/ of its own, finds the
# installed data and plays the demo to its end with every picture; the desktop entry, the metainfo
# and both man pages pass their tools; the icon is there. Without its data the run says where it
# looked and goes on; scripts/package without dpkg-dev says what to install.
# Usage: package_e2e.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_e2e: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
version=$(sed -n 's/^project(plomvardix VERSION \([0-9.]*\) .*/\1/p' "$source/CMakeLists.txt")
deb="$work/out/plomvardix_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no $(basename "$deb")"; }
dpkg-deb -f "$deb" Depends | grep -q "libsdl2" || fail "no dependencies read from the binaries"
dpkg-deb -f "$deb" Recommends | grep -q "zenity" || fail "zenity is not recommended"
dpkg-deb -x "$deb" "$work/root"
usr="$work/root/usr"

# The desktop's files.
desktop=$(ls "$usr"/share/applications/*.desktop)
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
grep -qx "Exec=plomvardix" "$desktop" && [ -x "$usr/bin/plomvardix" ] || fail "the desktop entry starts no installed demo"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml >"$work/validate" 2>&1 ||
    { cat "$work/validate"; fail "the metainfo does not validate"; }
grep -q "<release version=\"$version\"" "$usr"/share/metainfo/*.metainfo.xml || fail "the metainfo names another version"
for size in 64 128 256; do
    icon="$usr/share/icons/hicolor/${size}x$size/apps/plomvardix.png"
    [ "$(identify -format %wx%h "$icon" 2>/dev/null)" = "${size}x$size" ] || fail "no $size pixel icon"
done
for page in man6/plomvardix.6.gz man1/plomvardix-capture.1.gz; do
    MANWIDTH=80 man --warnings -l "$usr/share/man/$page" >"$work/page" 2>"$work/warnings" || fail "man cannot show $page"
    [ ! -s "$work/warnings" ] || { cat "$work/warnings"; fail "$page has mistakes"; }
    grep -q "^SYNOPSIS" "$work/page" || fail "$page has no synopsis"
done

# A folder of someone else's with a data/ that is not the demo's.
mkdir -p "$work/elsewhere/data"
echo "not a picture" >"$work/elsewhere/data/allez.tga"
cd "$work/elsewhere" || exit 1
keys=""
for frame in $(seq 30 2 118); do keys="$keys$frame:space,"; done
timeout 300 "$usr/bin/plomvardix-capture" --quiet --keys "${keys%,}" --log run.csv >"$work/out.txt" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || { cat "$work/err"; fail "exit status $status"; }
# Two pictures are loaded twice, by two scenes.
pictures=$(grep "^Loading texture data/.*\.tga-> ok$" "$work/out.txt" | sort -u | wc -l)
others=$(grep -vc "^Loading texture data/.*\.tga-> ok$" "$work/out.txt")
[ "$pictures" -eq 28 ] && [ "$others" -eq 0 ] ||
    { cat "$work/out.txt"; fail "not every picture loaded ($pictures ok, $others other lines)"; }
[ "$(tail -n 1 run.csv | cut -d, -f3)" = 39 ] || { tail -n 3 run.csv; fail "the run did not reach the music's end"; }

# The installed data gone: one line says where the run looked, and it goes on to Escape.
mv "$usr/share/plomvardix/data" "$work/data.away"
timeout 120 "$usr/bin/plomvardix-capture" --quiet --keys 60:escape >"$work/out.txt" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || { cat "$work/err"; fail "exit status $status without data"; }
looked="looked in $work/elsewhere/data, $usr/bin/data, $usr/share/plomvardix/data"
[ "$(grep -c "no data folder holds glimo.it; $looked$" "$work/err")" -eq 1 ] ||
    { cat "$work/err"; fail "no one line saying where the run looked"; }
grep -q "^Loading texture data/" "$work/out.txt" && ! grep -q -- "-> ok" "$work/out.txt" ||
    { cat "$work/out.txt"; fail "the loader's texts are not those of missing pictures"; }

# scripts/package on a machine without dpkg-dev.
mkdir "$work/bin"
ln -s "$(command -v dirname)" "$work/bin/dirname"
PATH="$work/bin" /bin/sh "$source/scripts/package" >"$work/out.txt" 2>&1 && fail "scripts/package ran without dpkg-dev"
grep -q "install dpkg-dev" "$work/out.txt" || { cat "$work/out.txt"; fail "scripts/package does not say what to install"; }
echo "package_e2e: $(basename "$deb"): 28 pictures from the installed data, to the music's end"
