# Shared by the live end-to-end tests (sourced): a private X server for each test, so that tests run
# side by side never see each other's windows; the demo's windows found through the process that
# owns them; every wait bounded, failing the test instead of hanging.
# The test sets `name` before sourcing; `work` is its scratch folder, `pid` the demo once started.

work=$(mktemp -d)
pid=""
xpid=""

cleanup() {
    if [ -n "$pid" ]; then
        # SDL shows message boxes from a child process of the demo.
        pkill -P "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null
    fi
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Fails the test, showing what the demo said on standard error.
fail() {
    echo "$name: $*"
    if [ -s "$work/err" ]; then
        echo "--- the demo's standard error:"
        cat "$work/err"
    fi
    exit 1
}

# retry TRIES PAUSE COMMAND...: runs COMMAND until it succeeds, PAUSE seconds apart; status 1 after
# TRIES failures.
retry() {
    retryLeft=$1
    retryPause=$2
    shift 2
    while ! "$@"; do
        retryLeft=$((retryLeft - 1))
        [ "$retryLeft" -le 0 ] && return 1
        sleep "$retryPause"
    done
    return 0
}

# waitUntil SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; status 1 once SECONDS
# have passed. Generous limits: these are no timing tests, only a guard against hanging.
waitUntil() {
    waitTries=$(($1 * 10))
    shift
    retry "$waitTries" 0.1 "$@"
}

# startX WIDTHxHEIGHT: a private Xvfb screen; Xvfb picks a free display number itself and tells it
# through a descriptor, so concurrent tests cannot race for one. Without -noreset the server resets
# when its last client leaves: the message box's process is the demo's only client before the
# window opens, so the window would race the reset and find no display. Exits 77 (skip) without Xvfb.
startX() {
    command -v Xvfb >/dev/null 2>&1 || { echo "$name: Xvfb is not installed"; exit 77; }
    command -v xdotool >/dev/null 2>&1 || { echo "$name: xdotool is not installed"; exit 77; }
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.err" &
    xpid=$!
    waitUntil 30 grep -q '^[0-9]' "$work/display" || { cat "$work/xvfb.err"; fail "Xvfb did not start"; }
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
    unset WAYLAND_DISPLAY XAUTHORITY
}

# startDemo ENV...: runs the demo from the build folder with these extra variables.
startDemo() {
    (cd "$build" && exec env "$@" ./plomvardix) >"$work/out" 2>"$work/err" &
    pid=$!
}

running() {
    kill -0 "$pid" 2>/dev/null
}

# The demo's own windows (SDL marks them with its process id), one id a line.
demoWindows() {
    timeout 10 xdotool search --pid "$pid" 2>/dev/null
}

# The demo's window whose client area is WIDTHxHEIGHT, when there is one.
demoWindowSized() {
    for id in $(demoWindows); do
        size=$(timeout 10 xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/^ *Geometry: //p')
        [ "$size" = "$1" ] && { echo "$id"; return 0; }
    done
    return 1
}

# A message box with this caption: SDL shows it from a child process and marks it only as a
# dialog, so on this private display it is the viewable top-level window of that name that the
# demo itself does not own. Prints its id in decimal, as xdotool does.
boxWindow() {
    own=$(demoWindows)
    for hex in $(timeout 10 xwininfo -root -children 2>/dev/null |
            sed -n "s/^ *\(0x[0-9a-f]*\) \"$1\": .*/\1/p"); do
        id=$(printf '%d' "$hex")
        echo "$own" | grep -qx "$id" && continue
        timeout 10 xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || continue
        echo "$id"
        return 0
    done
    return 1
}

# waitForBox CAPTION TEXT: waits until the demo has written the box's text to standard error and
# the box is on screen; prints its window id.
waitForBox() {
    waitUntil 120 grep -qF "$1: $2" "$work/err" || return 1
    waitUntil 60 boxWindow "$1" >/dev/null || return 1
    boxWindow "$1"
}

gone() {
    ! timeout 10 xwininfo -id "$1" >/dev/null 2>&1
}

# answerBox ID KEY: presses KEY in the box until it has gone (a key sent before the box took its
# input is lost). A box shown next may get the same window id from the X server, but the demo
# writes its text to standard error first, so a new line there also ends the pressing.
answerBox() {
    lines=$(wc -l <"$work/err")
    retry 300 0.2 keyAnswers "$1" "$2"
}

keyAnswers() {
    gone "$1" || [ "$(wc -l <"$work/err")" -ne "$lines" ] && return 0
    timeout 10 xdotool key --window "$1" "$2" 2>/dev/null
    return 1
}

# endDemo ID: presses Escape in the demo's window until it exits (a close request or key made
# during loading is taken only after it); prints nothing, sets `status`.
endDemo() {
    retry 400 0.2 escapeEnds "$1" || fail "the demo did not end on Escape"
    wait "$pid"
    status=$?
    pid=""
}

# A tap: pressed and released between two frames (or in one batch of events after a slow frame,
# as under sanitizers), it is kept down until a frame reads it.
escapeEnds() {
    running || return 0
    timeout 10 xdotool key --window "$1" Escape 2>/dev/null
    sleep 0.5
    return 1
}

# waitExit SECONDS: waits for the demo to end by itself; sets `status`.
waitExit() {
    waitUntil "$1" sh -c "! kill -0 $pid 2>/dev/null" || fail "the demo did not end within $1 s"
    wait "$pid"
    status=$?
    pid=""
}
