#!/bin/sh
# Renders the frames the live screen tests hold their screenshots against: the intro titles of
# orders 0 and 1 from the offline runner, at 20 frames per second (every row at least once).
# Usage: live_frames.sh BUILD_DIR OUT_DIR
set -u
build=${1:?build directory}
out=${2:?output folder}
rm -rf "$out"
mkdir -p "$out/frames" || exit 1
cd "$build" || exit 1
timeout 600 ./plomvardix-capture --fps 20 --frames 14-330 --out "$out/frames" --log "$out/log.csv" \
    --keys 331:escape >"$out/out" 2>"$out/err" || { cat "$out/err"; echo "live_frames: the runner failed"; exit 1; }
grep -q ",0,0,TitleScene," "$out/log.csv" || { echo "live_frames: order 0 is not where it was expected"; exit 1; }
echo "live_frames: $(ls "$out/frames" | wc -l) frames"
