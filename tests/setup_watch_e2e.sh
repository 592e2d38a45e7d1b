#!/bin/sh
# What scripts/run installs on a fresh system: apt's plan for the watch group against an empty
# package database. It must bring what the demo's build reads (the pkg-config modules the top-level
# CMakeLists.txt requires, libpulse, the forge's fonts) and no sound server daemon, which would
# compete with the desktop's own.
# Usage: setup_watch_e2e.sh BUILD_DIR. Exits 77 (skipped) without apt or its package lists.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v apt-get >/dev/null && ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1 ||
    { echo "setup_watch_e2e: no apt package lists here"; exit 77; }

packages=$(sh "$root/scripts/setup" --list watch) || { echo "setup_watch_e2e: no watch group"; exit 1; }
# shellcheck disable=SC2086
apt-get -s -q -o Dir::State::status=/dev/null -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= install --no-install-recommends $packages >"$work/plan" 2>&1 ||
    { cat "$work/plan"; echo "setup_watch_e2e: apt cannot plan the watch group"; exit 1; }

status=0
daemons=$(grep -E "^Inst (pulseaudio|pipewire|pipewire-bin|pipewire-pulse|wireplumber|pipewire-media-session|jackd|jackd1|jackd2) " "$work/plan")
[ -z "$daemons" ] || { echo "$daemons"; echo "setup_watch_e2e: the watch group brings a sound server"; status=1; }

modules="libpulse $(sed -n 's/^pkg_check_modules(.* REQUIRED IMPORTED_TARGET \(.*\))$/\1/p' "$root/CMakeLists.txt")"
needed=""
for m in $modules; do
    needed="$needed $(pkg-config --variable=pcfiledir "$m")/$m.pc"
done
for font in $(grep -oh '"DejaVu[A-Za-z-]*\.ttf"' "$root"/tools/forge/*.h "$root"/tools/forge/*.cpp | tr -d '"' | sort -u); do
    needed="$needed /usr/share/fonts/truetype/dejavu/$font"
done
for file in $needed; do
    owner=$(dpkg -S "$file" 2>/dev/null | head -n 1 | cut -d: -f1)
    [ -n "$owner" ] || { echo "setup_watch_e2e: no package here holds $file"; status=1; continue; }
    grep -q "^Inst $owner " "$work/plan" ||
        { echo "setup_watch_e2e: $file comes from $owner, which the watch group does not bring"; status=1; }
done
[ "$status" -eq 0 ] && echo "setup_watch_e2e: $(grep -c '^Inst ' "$work/plan") packages, no sound server, $(echo $needed | wc -w) files the build reads"
exit $status
