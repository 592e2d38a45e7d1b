# A private PipeWire with its PulseAudio service and a null sink named "sync", for tests and
# benchmarks (sourced), never the user's session server. Needs `work` (a scratch folder).
# startPipewire sets PULSE_SERVER and PIPEWIRE_REMOTE (its sockets), pipewirePids (the last started
# first), pipewireDaemonPid and pipewirePulsePid (the daemon and its PulseAudio service, which a test
# ends to lose the server mid-run); returns 1 when it cannot be started here. stopPipewire ends what
# it started, by process id.
pipewirePids=""
pipewireDaemonPid=""
pipewirePulsePid=""

stopPipewire() {
    for p in $pipewirePids; do
        kill "$p" 2>/dev/null
    done
    for p in $pipewirePids; do
        wait "$p" 2>/dev/null
    done
    pipewirePids=""
}

startPipewire() {
    for c in pipewire pipewire-pulse wireplumber dbus-daemon pactl; do
        command -v "$c" >/dev/null 2>&1 || return 1
    done
    run="$work/pipewire/run"
    mkdir -p "$run" "$work/pipewire/home" || return 1
    chmod 700 "$run"
    # WirePlumber links streams to sinks only with a session bus: a bus of its own, then the three
    # daemons in order, each given a moment to settle.
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/pipewire/bus" \
        >"$work/pipewire/log" 2>&1 &
    pipewirePids=$!
    tries=50
    until [ -s "$work/pipewire/bus" ]; do
        tries=$((tries - 1))
        [ "$tries" -le 0 ] && { stopPipewire; return 1; }
        sleep 0.1
    done
    for daemon in pipewire wireplumber pipewire-pulse; do
        env -u PULSE_SERVER -u PIPEWIRE_REMOTE XDG_RUNTIME_DIR="$run" HOME="$work/pipewire/home" \
            DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/pipewire/bus")" "$daemon" >>"$work/pipewire/log" 2>&1 &
        pipewirePids="$! $pipewirePids"
        [ "$daemon" = pipewire ] && pipewireDaemonPid=$!
        [ "$daemon" = pipewire-pulse ] && pipewirePulsePid=$!
        [ "$daemon" = pipewire-pulse ] || sleep 1
    done
    PULSE_SERVER="unix:$run/pulse/native"
    PIPEWIRE_REMOTE="$run/pipewire-0"
    export PULSE_SERVER PIPEWIRE_REMOTE
    tries=150
    until timeout 5 pactl info 2>/dev/null | grep -q "PipeWire"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ] || ! kill -0 $pipewirePids 2>/dev/null; then
            stopPipewire
            return 1
        fi
        sleep 0.1
    done
    timeout 5 pactl load-module module-null-sink sink_name=sync rate=44100 channels=2 >/dev/null &&
        timeout 5 pactl set-default-sink sync || { stopPipewire; return 1; }
    return 0
}

