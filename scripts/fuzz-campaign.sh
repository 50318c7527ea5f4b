#!/usr/bin/env bash
# A long fuzzing campaign: every target (or the ones named) for MINUTES each,
# one core per target, as many targets at once as there are cores. New inputs
# are kept in build/fuzz/campaign/NAME/corpus, findings land in
# build/fuzz/campaign/NAME/artifacts, the whole output in .../NAME/log.
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

# One target: its figures (CPU time, executions, coverage) and any finding.
campaign() {
  local name=$1 work=build/fuzz/campaign/$1
  mkdir -p "$work/corpus" "$work/artifacts"
  TIMEFORMAT="== $name: %R s elapsed, %U s user, %S s system"
  { time build/fuzz/fuzz/${name}_fuzzer -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -dict=fuzz/rar.dict -artifact_prefix="$work/artifacts/" \
      "$work/corpus" "fuzz/corpus/$name" >"$work/log" 2>&1; } 2>>"$work/log" || true
  grep -E '^(== |stat::|SUMMARY|#[0-9]+.*DONE)' "$work/log" | sed "s|^stat::|$name stat::|"
  local findings
  findings=$(ls "$work/artifacts" | wc -l)
  echo "== $name: $findings finding(s) in $work/artifacts"
}

echo "== ${#targets[@]} target(s), $minutes minutes each, $(nproc) at a time"
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  campaign "$name" &
done
wait
