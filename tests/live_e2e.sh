#!/bin/sh
# The live demo end to end on an X display: answer "fullscreen?" with No (Escape) through SDL's box,
# find the 640 x 480 window, press Escape, expect exit status 0.
# Usage: live_e2e.sh BUILD_DIR. Exits 77 (skipped) without a display.
set -u
build=${1:?build directory}
[ -n "${DISPLAY:-}" ] || { echo "live_e2e: no DISPLAY; run under xvfb-run -a"; exit 77; }

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

# Windows named like the title, with their sizes: "ID WIDTHxHEIGHT".
windows() {
    xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "zub.plomvardix": ([^)]*) *\([0-9]*x[0-9]*\)+.*/\1 \2/p'
}

# Waits until a window that is (=) or is not (!) 640 x 480 exists, printing its id; generous,
# since loading is slow on a busy machine and this is no timing test.
waitFor() {
    n=0
    while [ $n -lt 1200 ]; do
        id=$(windows | awk -v want="$1" '($2 == "640x480") == (want == "=") { print $1; exit }')
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
        n=$((n + 1))
    done
    return 1
}

cd "$build" || exit 1
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} ./plomvardix >"$work/out" 2>"$work/err" &
pid=$!

# SDL's X11 box carries the caption as its name but is no 640 x 480 window.
box=$(waitFor '!') || { echo "live_e2e: no \"fullscreen?\" box"; cat "$work/err"; exit 1; }
xdotool key --window "$box" Escape

# The size xwininfo lists is the client area's.
window=$(waitFor '=') || { echo "live_e2e: no 640x480 window"; cat "$work/err"; exit 1; }

# The demo reads Escape as held during a frame, so a press and release taken in one batch of events
# is missed: hold it for a second, release, and repeat (a key sent before the window had mapped may
# be lost too). The demo takes it after loading.
n=0
while kill -0 "$pid" 2>/dev/null && [ $n -lt 4000 ]; do
    case $((n % 20)) in
        0) xdotool keydown --window "$window" Escape 2>/dev/null ;;
        10) xdotool keyup --window "$window" Escape 2>/dev/null ;;
    esac
    sleep 0.1
    n=$((n + 1))
done
kill -0 "$pid" 2>/dev/null && { echo "live_e2e: Escape did not end the demo within 400 seconds"; exit 1; }
wait "$pid"
status=$?
pid=""

grep -q "^zub.plomvardix: fullscreen?$" "$work/err" || { echo "live_e2e: box text not on stderr"; exit 1; }
[ "$status" -eq 0 ] || { echo "live_e2e: exit status $status"; cat "$work/err"; exit 1; }
echo "live_e2e: ok"
