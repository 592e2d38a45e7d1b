#!/bin/sh
# The live demo where no window can be made (no display): it says why on standard error and exits
# with status 1, loading nothing and playing nothing. Twice: with SDL's X11 driver forced, and with
# no driver named, where SDL would fall back to one that shows nothing and the demo must refuse it.
# Usage: no_window_e2e.sh BUILD_DIR
set -u
build=${1:?build directory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$build" || exit 1

# check LABEL ENV...: one run without a display; the disk audio driver would leave a file if any
# sound were played.
check() {
    label=$1
    shift
    rm -f "$work/sound.raw"
    timeout 120 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=disk \
        SDL_DISKAUDIOFILE="$work/sound.raw" "$@" ./plomvardix >"$work/out" 2>"$work/err"
    status=$?
    fail() { cat "$work/err"; echo "no_window_e2e ($label): $1"; exit 1; }
    [ "$status" -ne 124 ] || fail "the demo did not end"
    [ "$status" -eq 1 ] || fail "exit status $status, not 1"
    grep -q "^zub.plomvardix: fullscreen?$" "$work/err" || fail "the question is not on stderr"
    grep -q "^ERROR: Failed To Register The Window Class.$" "$work/err" || fail "the window-class box is not on stderr"
    grep -q "^plomvardix: SDL video: " "$work/err" || fail "no reason from the video driver on stderr"
    ! grep -q "Loading texture" "$work/out" || fail "pictures were loaded"
    [ ! -e "$work/sound.raw" ] || fail "sound was played"
}

check "X11 forced" SDL_VIDEODRIVER=x11
check "no driver named"
echo "no_window_e2e: exit status 1 with the reason, with and without a driver named"
