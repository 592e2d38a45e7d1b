#!/bin/sh
# The live audio output on sound servers of the test's own, each with a null sink: PulseAudio (a
# libpulse stream), then PipeWire (a stream of its own through libpipewire when built with it, else
# through its PulseAudio service); each is killed mid-run by the test program. Then, on PipeWire, the
# live demo itself loses the daemon mid-run: the pictures go on, one line on standard error, and
# Escape ends it with status 0. Never the user's session server. Usage: audio_pulse_e2e.sh
# BUILD_DIR. Exits 77 (skipped) only when neither server can start here.
set -u
build=${1:?build directory}
name=audio_pulse_e2e
here=$(dirname "$0")
. "$here/support/live_e2e_lib.sh"
. "$here/support/pulse_server.sh"
. "$here/support/pipewire_server.sh"
trap 'cleanup; [ -n "$pulsePid" ] && kill "$pulsePid" 2>/dev/null; stopPipewire' EXIT
ran=0
failed=0
if startPulse; then
    ran=1
    PLOMVARDIX_TEST_OUTPUT=pulse PLOMVARDIX_TEST_SERVER_PID=$pulsePid timeout 300 "$build/test_audio_pulse" ||
        failed=1
    wait "$pulsePid" 2>/dev/null
    pulsePid=""
else
    echo "$name: pulseaudio cannot start here"; cat "$work/pulse/log" 2>/dev/null
fi
unset PULSE_SERVER PIPEWIRE_REMOTE
# Which output a PipeWire daemon gets: the build says whether libpipewire was there.
output=pulse
grep -q '^PIPEWIRE_FOUND:INTERNAL=1$' "$build/CMakeCache.txt" && output=pipewire
if startPipewire; then
    ran=1
    # The daemon itself when the stream is its own; else the PulseAudio service the stream is on.
    victim=$pipewirePulsePid
    [ "$output" = pipewire ] && victim=$pipewireDaemonPid
    PLOMVARDIX_TEST_OUTPUT=$output PLOMVARDIX_TEST_SERVER_PID=$victim timeout 300 "$build/test_audio_pulse" ||
        failed=1
    stopPipewire
else
    echo "$name: PipeWire cannot start here"; tail -n 5 "$work/pipewire/log" 2>/dev/null
fi

if command -v Xvfb >/dev/null 2>&1 && startPipewire; then
    startX 640x480
    (cd "$build" && exec env -u SDL_AUDIODRIVER ./plomvardix --windowed) >"$work/out" 2>"$work/err" &
    pid=$!
    waitUntil 120 demoWindowSized 640x480 >/dev/null || fail "the demo did not come to play"
    sleep 1
    if [ "$output" = pipewire ]; then kill "$pipewireDaemonPid"; else kill "$pipewirePulsePid"; fi
    line="plomvardix: the sound server went away; the music goes on silently, by the clock"
    waitUntil 30 grep -qxF "$line" "$work/err" || fail "the server's end was not said"
    sleep 2
    window=$(demoWindowSized 640x480) || fail "the pictures did not go on without the server"
    endDemo "$window"
    [ "$status" -eq 0 ] || fail "exit status $status after losing the server, not 0"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "more than the one line after losing the server"
fi
[ "$ran" -eq 1 ] || exit 77
exit "$failed"
