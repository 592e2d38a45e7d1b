#!/bin/sh
# The live audio output on a PulseAudio server of the test's own, with a null sink.
# Usage: audio_pulse_e2e.sh BUILD_DIR. Exits 77 (skipped) only when pulseaudio cannot start here.
set -u
build=${1:?build directory}
work=$(mktemp -d)
. "$(dirname "$0")/support/pulse_server.sh"
trap '[ -n "$pulsePid" ] && kill "$pulsePid" 2>/dev/null; rm -rf "$work"' EXIT
startPulse || { echo "audio_pulse_e2e: pulseaudio cannot start here"; cat "$work/pulse/log" 2>/dev/null; exit 77; }
timeout 300 "$build/test_audio_pulse"
