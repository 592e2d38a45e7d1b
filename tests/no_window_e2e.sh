#!/bin/sh
# The live demo where no window can be made (no display): it says why on standard error and exits
# with status 1, loading nothing and playing nothing. Twice: with SDL's X11 driver forced, and with
# no driver named, where SDL would fall back to one that shows nothing and the demo must refuse it.
# Then the command line, which needs no display: --help, --version, and bad options (status 2).
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
    grep -q "^plomvardix: starting in a window; choose with --fullscreen or --windowed$" "$work/err" ||
        fail "no box, and no word of starting windowed"
    ! grep -q "Loading texture" "$work/out" || fail "pictures were loaded"
    [ ! -e "$work/sound.raw" ] || fail "sound was played"
}

check "X11 forced" SDL_VIDEODRIVER=x11
check "no driver named"

# The command line is read before any window: no display is needed for it.
# option STATUS ARGS...: one run; its standard output and error are in out and err.
option() {
    want=$1
    shift
    timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy ./plomvardix "$@" >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq "$want" ] || { cat "$work/err"; echo "no_window_e2e: plomvardix $*: status $status, not $want"; exit 1; }
    if [ "$want" -eq 2 ]; then
        [ "$(wc -l <"$work/err")" -eq 1 ] && [ ! -s "$work/out" ] ||
            { cat "$work/err"; echo "no_window_e2e: plomvardix $*: not one line on stderr alone"; exit 1; }
    fi
}
option 0 --help
grep -q -- "--fps N" "$work/out" || { echo "no_window_e2e: --help gives no usage"; exit 1; }
option 0 --version
grep -qx "plomvardix [0-9][0-9.]*" "$work/out" || { echo "no_window_e2e: --version gives \"$(cat "$work/out")\""; exit 1; }
option 2 --frobnicate
option 2 --windowed --fps
for bad in -1 abc 100000; do
    option 2 --fps "$bad"
    grep -q "from 0 to 1000" "$work/err" || { cat "$work/err"; echo "no_window_e2e: --fps $bad does not say the range"; exit 1; }
done
PLOMVARDIX_FPS=abc option 2 --windowed
echo "no_window_e2e: exit status 1 with the reason, with and without a driver named; the command line's answers"
