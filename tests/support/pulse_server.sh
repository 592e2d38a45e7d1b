# A private PulseAudio server with a null sink (it consumes sound at the sound card's pace and plays
# nothing; its monitor hands back what reached it), for tests and benchmarks (sourced).
# Needs `work` (a scratch folder). startPulse sets PULSE_SERVER and pulsePid, and PIPEWIRE_REMOTE to
# a socket that is not there, so that no PipeWire daemon of the session is taken instead; returns 1
# when pulseaudio cannot be started here. The caller kills pulsePid when done.
pulsePid=""

startPulse() {
    command -v pulseaudio >/dev/null 2>&1 || return 1
    command -v pactl >/dev/null 2>&1 || return 1
    mkdir -p "$work/pulse/run" "$work/pulse/home" || return 1
    chmod 700 "$work/pulse/run"
    # Its own runtime and configuration folders, no autospawn, no D-Bus; it ends by itself when
    # left idle, should its owner die without killing it.
    XDG_RUNTIME_DIR="$work/pulse/run" HOME="$work/pulse/home" PULSE_RUNTIME_PATH="$work/pulse/run/pulse" \
        pulseaudio -n --daemonize=no --exit-idle-time=30 --use-pid-file=no --disable-shm=yes \
        -L "module-native-protocol-unix socket=$work/pulse/run/native auth-anonymous=1" \
        -L "module-null-sink sink_name=sync rate=44100 channels=2" \
        >"$work/pulse/log" 2>&1 &
    pulsePid=$!
    PULSE_SERVER="unix:$work/pulse/run/native"
    PIPEWIRE_REMOTE="$work/pulse/run/no-pipewire"
    export PULSE_SERVER PIPEWIRE_REMOTE
    tries=100
    until PULSE_SERVER="$PULSE_SERVER" timeout 5 pactl info >/dev/null 2>&1; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ] || ! kill -0 "$pulsePid" 2>/dev/null; then
            kill "$pulsePid" 2>/dev/null
            pulsePid=""
            return 1
        fi
        sleep 0.1
    done
    return 0
}
