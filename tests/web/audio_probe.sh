#!/bin/sh
# The web audio output in headless Chromium: builds the probe (the mixer on libopenmpt for the
# browser, playing the forged module) and runs audio_probe.html until it says pass or fail.
#   audio_probe.sh MODULE_FILE WORK_DIR [bench SECONDS]
set -eu
module="$1"
work="$2"
mode="${3:-test}"
seconds="${4:-20}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
chromium="${CHROMIUM:-chromium}"
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

"$root/scripts/web-libopenmpt" "$root/build-web/libopenmpt"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
cp "$module" "$work/glimo.it"
cp "$root/tests/web/audio_probe.html" "$work/"
# Bounded, as every step here: a hung compiler or browser fails the test rather than stopping the suite.
(cd "$work" && timeout 600 em++ -O1 -std=c++17 -Wall -Wextra -fexceptions -I"$root/src" -I"$root/build-web/libopenmpt/include" \
  "$root/tests/web/audio_probe.cpp" "$root/src/music/mixer.cpp" "$root/src/platform/audio_web.cpp" \
  "$root/build-web/libopenmpt/lib/libopenmpt.a" --js-library "$root/web/audio_web.js" \
  -sALLOW_MEMORY_GROWTH -sSINGLE_FILE -sENVIRONMENT=web --embed-file glimo.it -o audio_probe.js)

page="file://$work/audio_probe.html"
[ "$mode" = bench ] && page="$page?bench=$seconds"
log="$work/chromium.log"
rm -rf "$work/profile"
# Its own profile and process group, so that it can be ended whatever it left running.
setsid "$chromium" --headless=new --no-sandbox --no-first-run --user-data-dir="$work/profile" \
  --autoplay-policy=no-user-gesture-required --enable-logging=stderr --v=0 "$page" >"$log" 2>&1 &
browser=$!
limit=$((60 + seconds))
waited=0
while ! grep -q 'audio probe: \(pass\|fail\)' "$log" && [ "$waited" -lt "$limit" ]; do
  sleep 1
  waited=$((waited + 1))
done
kill -- "-$browser" 2>/dev/null || true
# A browser that will not end on TERM is killed after five seconds; never an unbounded wait.
tries=50
while kill -0 "$browser" 2>/dev/null && [ "$tries" -gt 0 ]; do
  sleep 0.1
  tries=$((tries - 1))
done
kill -KILL -- "-$browser" 2>/dev/null || true
sed -n 's/.*"\(audio probe: [^"]*\)".*/\1/p' "$log"
grep -q 'audio probe: pass' "$log" || { echo "audio probe: no pass (log: $log)"; exit 1; }
