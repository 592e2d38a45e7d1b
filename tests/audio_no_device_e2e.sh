#!/bin/sh
# The live demo with no audio device: after "fullscreen?" (answered No), it says why on standard
# error and exits with status 1. Usage: audio_no_device_e2e.sh BUILD_DIR. Exits 77 without a display.
set -u
build=${1:?build directory}
[ -n "${DISPLAY:-}" ] || { echo "audio_no_device_e2e: no DISPLAY; run under xvfb-run -a"; exit 77; }

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

cd "$build" || exit 1
SDL_AUDIODRIVER=plomvardix-no-such-driver ./plomvardix >"$work/out" 2>"$work/err" &
pid=$!

# The box is the window named like the title that is not 640 x 480; generous waits, no timing test.
n=0
box=""
while [ -z "$box" ] && [ $n -lt 1200 ] && kill -0 "$pid" 2>/dev/null; do
    box=$(xwininfo -root -tree |
        sed -n 's/^ *\(0x[0-9a-f]*\) "zub.plomvardix": ([^)]*) *\([0-9]*x[0-9]*\)+.*/\1 \2/p' |
        awk '$2 != "640x480" { print $1; exit }')
    [ -n "$box" ] || sleep 0.1
    n=$((n + 1))
done
[ -n "$box" ] || { echo "audio_no_device_e2e: no \"fullscreen?\" box"; cat "$work/err"; exit 1; }
xdotool key --window "$box" Escape

n=0
while kill -0 "$pid" 2>/dev/null && [ $n -lt 1200 ]; do
    sleep 0.1
    n=$((n + 1))
done
wait "$pid"
status=$?
pid=""

[ "$status" -eq 1 ] || { echo "audio_no_device_e2e: exit status $status, not 1"; cat "$work/err"; exit 1; }
grep -q "audio library could not be initialised" "$work/err" ||
    { echo "audio_no_device_e2e: no reason on standard error"; cat "$work/err"; exit 1; }
echo "audio_no_device_e2e: exit status 1 with the reason"
