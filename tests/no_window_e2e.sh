#!/bin/sh
# The live demo where no window can be made (no display): it says why on standard error and exits
# with status 1, loading nothing. Usage: no_window_e2e.sh BUILD_DIR
set -u
build=${1:?build directory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$build" || exit 1
timeout 120 env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 ./plomvardix >"$work/out" 2>"$work/err"
status=$?
[ "$status" -ne 124 ] || { echo "no_window_e2e: the demo did not end"; exit 1; }
[ "$status" -eq 1 ] || { cat "$work/err"; echo "no_window_e2e: exit status $status, not 1"; exit 1; }
grep -q "^zub.plomvardix: fullscreen?$" "$work/err" || { echo "no_window_e2e: the question is not on stderr"; exit 1; }
grep -q "^ERROR: Failed To Register The Window Class.$" "$work/err" ||
    { cat "$work/err"; echo "no_window_e2e: the window-class box is not on stderr"; exit 1; }
! grep -q "Loading texture" "$work/out" || { echo "no_window_e2e: pictures were loaded"; exit 1; }
echo "no_window_e2e: exit status 1 with the reason"
