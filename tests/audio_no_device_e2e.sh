#!/bin/sh
# The live demo with no audio device, on a private X screen: after "fullscreen?" (answered No), it
# says why on standard error and exits with status 1.
# Usage: audio_no_device_e2e.sh BUILD_DIR. Exits 77 (skipped) without Xvfb.
set -u
name=audio_no_device_e2e
build=${1:?build directory}
. "$(dirname "$0")/support/live_e2e_lib.sh"

startX 1024x768
startDemo SDL_AUDIODRIVER=plomvardix-no-such-driver

box=$(waitForBox zub.plomvardix "fullscreen?") || fail "no \"fullscreen?\" box"
answerBox "$box" Escape || fail "the box did not take Escape"
waitExit 300

[ "$status" -eq 1 ] || fail "exit status $status, not 1"
grep -q "audio library could not be initialised" "$work/err" || fail "no reason on standard error"
echo "audio_no_device_e2e: exit status 1 with the reason"
