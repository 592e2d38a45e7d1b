#!/bin/sh
# The page's checks in Firefox ESR (page.mjs firefox), on an Xvfb screen and a PulseAudio server of
# the test's own: headless, Firefox finds no GL driver for WebGL here, and without a sound server
# its AudioContext never leaves "suspended". Exits 77 (skipped) without firefox-esr, Xvfb or
# pulseaudio.   page_firefox.sh SITE_DIR
set -u
site=${1:?site folder}
here=$(cd "$(dirname "$0")" && pwd)
firefox=${FIREFOX:-/usr/bin/firefox-esr}
skip() {
    echo "web_page_firefox: skipped, $1"
    exit 77
}
[ -x "$firefox" ] || skip "$firefox is not installed (scripts/setup test installs firefox-esr)"
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"
work=$(mktemp -d)
xpid=""
. "$here/../support/pulse_server.sh"
trap '[ -n "$pulsePid" ] && kill "$pulsePid" 2>/dev/null; [ -n "$xpid" ] && kill "$xpid" 2>/dev/null; rm -rf "$work"' EXIT
startPulse || skip "pulseaudio cannot start here"

# Xvfb picks a free display itself and says which through a descriptor.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
xpid=$!
tries=300
until grep -q '^[0-9]' "$work/display"; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ] || ! kill -0 "$xpid" 2>/dev/null; then
        cat "$work/xvfb.err"
        echo "web_page_firefox: Xvfb did not start"
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY FIREFOX="$firefox"
unset WAYLAND_DISPLAY XAUTHORITY
node "$here/page.mjs" "$site" firefox
