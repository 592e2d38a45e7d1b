#!/bin/sh
# The live demo loses its display mid-run (Xvfb killed) while its sound goes through a PulseAudio
# server of the test's own: it ends with status 1 and one line from the window system, no abort
# and no core. Then Ctrl-C and SIGTERM end it as a close of the window does, with status 0.
# Usage: live_lost_display_e2e.sh BUILD_DIR. Exits 77 (skipped) without Xvfb or pulseaudio.
set -u
build=${1:?build directory}
name=live_lost_display_e2e
. "$(dirname "$0")/support/live_e2e_lib.sh"
. "$(dirname "$0")/support/pulse_server.sh"
trap 'cleanup; [ -n "$pulsePid" ] && kill "$pulsePid" 2>/dev/null' EXIT
startPulse || { echo "$name: pulseaudio cannot start here"; exit 77; }

# A windowed demo; its window is up once it is loading. SIGINT as from a terminal: a background
# process of a script would otherwise ignore it from the start.
startWindowed() {
    (cd "$build" && exec env --default-signal=INT ./plomvardix --windowed) >"$work/out" 2>"$work/err" &
    pid=$!
}
playing() {
    running || fail "the demo ended early"
    demoWindowSized 640x480 >/dev/null
}

startX 640x480
startWindowed
waitUntil 120 playing || fail "the demo did not come to play"
sleep 1
kill "$xpid"
wait "$xpid" 2>/dev/null
xpid=""
waitExit 60
[ "$status" -eq 1 ] || fail "exit status $status after losing the display, not 1"
! grep -q "terminate called\|Aborted\|core dumped" "$work/err" || fail "an abort after losing the display"
[ "$(wc -l <"$work/err")" -eq 1 ] && grep -q "^plomvardix: the connection to the display was lost$" "$work/err" ||
    fail "not the one line after losing the display"

for signal in INT TERM; do
    startX 640x480
    startWindowed
    waitUntil 120 playing || fail "the demo did not come to play"
    kill -s "$signal" "$pid"
    waitExit 60
    [ "$status" -eq 0 ] || fail "exit status $status on SIG$signal, not 0 as for a closed window"
    kill "$xpid"
    wait "$xpid" 2>/dev/null
    xpid=""
done
echo "$name: a lost display ends with status 1 and one line; SIGINT and SIGTERM close the window"
