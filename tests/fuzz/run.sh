#!/bin/sh
# Runs a libFuzzer target over a folder's seeds/ and crashes/ plus RUNS new inputs, with a fixed
# seed so every run tries the same inputs. New corpus entries and any crash go to a scratch folder.
# usage: run.sh TARGET FOLDER RUNS
set -eu
target=$1 folder=$2 runs=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/corpus"
status=0
"$target" -runs="$runs" -seed=1 -max_len=4096 -rss_limit_mb=2048 -timeout=30 \
  -artifact_prefix="$scratch/" "$scratch/corpus" "$folder/seeds" "$folder/crashes" || status=$?
for crash in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*; do
  [ -e "$crash" ] || continue
  echo "run.sh: $crash, as hex:"
  od -A d -t x1 "$crash" | head -20
done
exit "$status"
