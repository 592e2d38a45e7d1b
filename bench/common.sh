# Shared by the bench scripts (sourced): options, the build folder, a private X server and a
# private PulseAudio server with a null sink, and clean-up.
# The scripts set `usage` and handle their own options through `take_option`.

bench_dir=$(cd "$(dirname "$0")" && pwd)
build=${BENCH_BUILD:-$bench_dir/../build}
work=""
pulse_pid=""

bench_cleanup() {
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
    [ -n "$work" ] && rm -rf "$work"
    return 0
}

# A number given to an option, or the usage and status 2.
number() {
    case "$2" in
        ''|*[!0-9.-]*) echo "$(basename "$0"): $1 wants a number" >&2; echo "$usage" >&2; exit 2 ;;
    esac
}

# Checks the build and re-runs the calling script on a private X server (xvfb-run picks a free
# display), so that the figures never depend on a desktop's compositor.
bench_start() {
    build=$(cd "$build" 2>/dev/null && pwd) || { echo "$(basename "$0"): no build folder $build" >&2; exit 2; }
    for f in plomvardix plomvardix-capture bench/libbench_probe.so bench/bench-exec data/glimo.it; do
        [ -e "$build/$f" ] || { echo "$(basename "$0"): $build/$f is missing; build first" >&2; exit 2; }
    done
    if [ -z "${BENCH_ON_XVFB:-}" ]; then
        BENCH_ON_XVFB=1 BENCH_BUILD="$build" exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
    fi
    work=$(mktemp -d)
    trap bench_cleanup EXIT
    trap 'exit 130' INT TERM
}

# A PulseAudio server of our own with a null sink (a sink that consumes sound at the sound card's
# pace and plays nothing), or SDL's dummy driver when there is no pulseaudio. Sets audio_note.
start_audio() {
    if command -v pulseaudio >/dev/null 2>&1; then
        p="$work/pulse"
        mkdir -p "$p"
        env -u DISPLAY HOME="$p" XDG_RUNTIME_DIR="$p" PULSE_RUNTIME_PATH="$p" PULSE_STATE_PATH="$p" \
            DBUS_SESSION_BUS_ADDRESS=disabled: \
            pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
            --log-level=error -L "module-null-sink sink_name=bench" \
            -L "module-native-protocol-unix auth-anonymous=1 socket=$p/native" 2>"$p/log" &
        pulse_pid=$!
        n=0
        while [ ! -S "$p/native" ] && [ $n -lt 100 ] && kill -0 "$pulse_pid" 2>/dev/null; do
            sleep 0.1
            n=$((n + 1))
        done
        if [ -S "$p/native" ]; then
            export SDL_AUDIODRIVER=pulseaudio PULSE_SERVER="unix:$p/native"
            audio_note="the demo's own stream on a PulseAudio null sink (a private server; SDL's callbacks, timed below, are not used then)"
            return
        fi
        kill "$pulse_pid" 2>/dev/null
        pulse_pid=""
        audio_note="SDL's dummy driver: the private PulseAudio server did not start ($(head -c 200 "$p/log"))"
    else
        audio_note="SDL's dummy driver: pulseaudio is not installed, so the callbacks follow SDL's own timer, not a sound card's pace"
    fi
    export SDL_AUDIODRIVER=dummy
}

bench_header() {
    echo "$1, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$bench_dir" rev-parse --short HEAD 2>/dev/null || echo '?')"
    echo "machine: $(nproc) cores, $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1); load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
}
