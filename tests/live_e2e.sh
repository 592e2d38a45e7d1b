#!/bin/sh
# The live demo end to end on a private X screen: answer "fullscreen?" with No (Escape) through
# SDL's box, find the demo's 640 x 480 window, press Escape, expect exit status 0.
# Usage: live_e2e.sh BUILD_DIR. Exits 77 (skipped) without Xvfb.
set -u
name=live_e2e
build=${1:?build directory}
. "$(dirname "$0")/support/live_e2e_lib.sh"

startX 1024x768
startDemo SDL_AUDIODRIVER=dummy

box=$(waitForBox zub.plomvardix "fullscreen?") || fail "no \"fullscreen?\" box"
answerBox "$box" Escape || fail "the box did not take Escape"

window=""
waitUntil 120 demoWindowSized 640x480 >/dev/null || fail "no 640x480 window"
window=$(demoWindowSized 640x480)
endDemo "$window"

grep -q "^zub.plomvardix: fullscreen?$" "$work/err" || fail "box text not on stderr"
[ "$status" -eq 0 ] || fail "exit status $status"
echo "live_e2e: ok"
