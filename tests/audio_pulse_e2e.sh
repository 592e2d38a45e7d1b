#!/bin/sh
# The live audio output on sound servers of the test's own, each with a null sink: PulseAudio, then
# PipeWire with its PulseAudio service; each is killed mid-run by the test program. Never the
# user's session server. Usage: audio_pulse_e2e.sh BUILD_DIR. Exits 77 (skipped) only when
# neither server can start here.
set -u
build=${1:?build directory}
work=$(mktemp -d)
here=$(dirname "$0")
. "$here/support/pulse_server.sh"
. "$here/support/pipewire_server.sh"
trap '[ -n "$pulsePid" ] && kill "$pulsePid" 2>/dev/null; stopPipewire; rm -rf "$work"' EXIT
ran=0
failed=0
if startPulse; then
    ran=1
    PLOMVARDIX_TEST_SERVER_PID=$pulsePid timeout 300 "$build/test_audio_pulse" || failed=1
    wait "$pulsePid" 2>/dev/null
    pulsePid=""
else
    echo "audio_pulse_e2e: pulseaudio cannot start here"; cat "$work/pulse/log" 2>/dev/null
fi
unset PULSE_SERVER
if startPipewire; then
    ran=1
    PLOMVARDIX_TEST_SERVER_PID=$pipewirePulsePid timeout 300 "$build/test_audio_pulse" || failed=1
    stopPipewire
else
    echo "audio_pulse_e2e: PipeWire cannot start here"; tail -n 5 "$work/pipewire/log" 2>/dev/null
fi
[ "$ran" -eq 1 ] || exit 77
exit "$failed"
