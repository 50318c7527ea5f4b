#!/usr/bin/env bash
# A long fuzzing campaign: every target (or the ones named) for MINUTES each,
# one core per target at a time. New inputs are kept in build/fuzz/campaign;
# findings land in build/fuzz/campaign/NAME/artifacts.
# usage: scripts/fuzz-campaign.sh [MINUTES] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
shift || true
scripts/bootstrap.sh
scripts/build.sh fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzzer.cpp; do n=$(basename "$f" .cpp); targets+=("${n%_fuzzer}"); done
fi
for name in "${targets[@]}"; do
  work=build/fuzz/campaign/$name
  mkdir -p "$work/corpus" "$work/artifacts"
  echo "== $name: $minutes minutes"
  build/fuzz/fuzz/${name}_fuzzer -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -dict=fuzz/rar.dict -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "fuzz/corpus/$name" 2>&1 | tee "$work/log" | grep -E '^(#|stat::|==|SUMMARY)' | tail -n 20
done
