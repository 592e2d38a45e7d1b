#!/bin/sh
# Installs the build under a scratch prefix and runs the installed offline runner from an unrelated
# folder: it must find its data where the install put it and load every picture.
# Usage: install_e2e.sh BUILD_DIR
set -u
build=${1:?build directory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "install_e2e: install failed"; exit 1; }
[ -x "$work/prefix/bin/plomvardix" ] || { echo "install_e2e: no bin/plomvardix"; exit 1; }
[ -f "$work/prefix/share/plomvardix/data/glimo.it" ] || { echo "install_e2e: no installed module"; exit 1; }

mkdir "$work/elsewhere"
cd "$work/elsewhere" || exit 1
"$work/prefix/bin/plomvardix-capture" --keys 60:escape --log run.csv >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || { cat "$work/err"; echo "install_e2e: exit status $status"; exit 1; }

loads=$(grep -c "^Loading texture data/.*\.tga-> ok$" "$work/out")
others=$(grep -vc "^Loading texture data/.*\.tga-> ok$" "$work/out")
[ "$loads" -gt 0 ] && [ "$others" -eq 0 ] ||
    { cat "$work/out"; echo "install_e2e: not every picture loaded ($loads ok, $others other lines)"; exit 1; }
[ -s run.csv ] || { echo "install_e2e: the log was not written where it was asked for"; exit 1; }
grep -q ",TitleScene," run.csv || { echo "install_e2e: the first scene never rendered"; exit 1; }
echo "install_e2e: $loads pictures loaded from the installed data"
