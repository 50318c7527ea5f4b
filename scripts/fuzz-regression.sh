#!/usr/bin/env bash
# Replays a fuzz target's committed corpus, then fuzzes briefly from it.
# usage: fuzz-regression.sh FUZZER CORPUS WORKDIR SECONDS [DICT]
set -euo pipefail
fuzzer=$1 corpus=$2 work=$3 seconds=$4 dict=${5:-}
rm -rf "$work"
mkdir -p "$work/new" "$work/artifacts"
dictarg=()
[ -n "$dict" ] && [ -f "$dict" ] && dictarg=(-dict="$dict")
# Every committed input once: crashes, leaks and sanitizer reports fail the run.
"$fuzzer" -runs=0 -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" "$corpus"
# A short session from the corpus, with a bound on every single input's time.
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "${dictarg[@]}" "$work/new" "$corpus" 2>&1 | tail -n 12
