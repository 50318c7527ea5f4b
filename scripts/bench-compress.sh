#!/usr/bin/env bash
# Compression benchmark of the whole 'solidsetup build' command on the PE
# corpus of ../shared/bench/pe-corpus.txt, next to gzip -9, zstd -19 and xz
# with the same 1 MB window over a tar of the same files, all measured in
# this one run, one command after the other, in rounds (see --runs). Prints
# a line per target saying whether it is met: the one-core targets compare
# CPU seconds (user plus system), which a machine busy with other work
# disturbs far less than wall time; the all-threads target compares wall
# time. Both are printed.
#
# usage: bench-compress.sh [--levels 12345] [--dir DLL_FOLDER] [--runs 2]
#   --runs: rounds over every command (default 2); each time is the
#           command's best, its memory the most any run took
#   SOLIDSETUP_BENCH_BUILD: a build folder of the native preset to measure
#           instead of the tool the Debian package ships (build/package:
#           hardened, profile-guided; scripts/build.sh package builds it)
# The in-process benchmark (every level through the archive writer, CPU
# time) is build/native/bench/bench_compress.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLIDSETUP_BENCH_BUILD:-}
corpus=$src/../shared/bench/pe-corpus.txt
dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
levels=12345
runs=2
while [ $# -gt 0 ]; do
  case $1 in
    --levels) levels=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: bench-compress.sh [--levels 12345] [--dir DLL_FOLDER] [--runs 2]" >&2; exit 2 ;;
  esac
done
case $runs in
  '' | *[!0-9]* | 0) echo "bench-compress: --runs takes a count of 1 or more" >&2; exit 2 ;;
esac
for tool in gzip xz zstd tar; do
  command -v $tool >/dev/null || { echo "bench-compress: $tool is missing (apt-get install xz-utils zstd)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "bench-compress: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
if [ -n "$build" ]; then
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" --target solidsetup -j2 >/dev/null
else
  build=$src/build/package
  "$src/scripts/build.sh" package >/dev/null
fi
echo "tool: $build/solidsetup"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/product"
files=$(grep -v '^#' "$corpus" | grep -v '^$')
for f in $files; do cp "$dir/$f" "$work/product/"; done
# shellcheck disable=SC2086
tar -cf "$work/corpus.tar" -C "$dir" $files
input=$(cat "$work/product/"* | wc -c)
cores=$(nproc)
printf 'corpus: %s files, %s bytes (%s bytes as a tar), %s cores\n\n' \
  "$(echo "$files" | wc -w)" "$input" "$(stat -c %s "$work/corpus.tar")" "$cores"

results=$work/results
: >"$results"
# Every command runs $runs times, the whole list once per round, so that a
# slow minute of the machine falls on one round of every command rather than
# on all runs of one; each command's figures are its best run (fewest CPU
# and wall seconds, which a busy machine only ever adds to).
keys=() labels=() outputs=() inputs=() commands=()
add() {  # add KEY LABEL OUTPUT INPUT_BYTES COMMAND
  keys+=("$1") labels+=("$2") outputs+=("$3") inputs+=("$4") commands+=("$5")
}
tool=$build/solidsetup
q() { printf '%q' "$1"; }
add_build() {  # add_build KEY LABEL PRODUCT LEVEL INPUT_BYTES [THREAD OPTIONS]
  local key=$1 label=$2 product=$3 level=$4 bytes=$5
  shift 5
  add "$key" "$label" "$work/$key.rar" "$bytes" \
    "$(q "$tool") build $(q "$product") -o $(q "$work/$key.rar") --stub none --level $level $* --quiet"
}
for level in $(echo "$levels" | grep -o '[1-5]'); do
  add_build "L$level" "solidsetup build --level $level (1 thread)" "$work/product" "$level" "$input" --threads 1
  if [ "$level" -eq 5 ] && [ "$cores" -gt 1 ]; then
    add_build "L${level}all" "solidsetup build --level $level ($cores threads)" "$work/product" "$level" "$input"
  fi
done
# Memory must not grow with the input: level 1 once more, over four copies
# of the corpus in one solid run.
mkdir "$work/product4"
for copy in 1 2 3 4; do for f in $files; do cp "$work/product/$f" "$work/product4/$copy-$f"; done; done
add_build M1x4 "solidsetup build --level 1, 4 copies" "$work/product4" 1 $((4 * input)) --threads 1
add gzip "gzip -9" "$work/gzip.out" "$input" "gzip -9 -c $(q "$work/corpus.tar") >$(q "$work/gzip.out")"
add zstd "zstd -19 --zstd=wlog=20" "$work/zstd.out" "$input" \
  "zstd -19 -c -q --single-thread --zstd=wlog=20 $(q "$work/corpus.tar") >$(q "$work/zstd.out")"
add xz "xz --lzma2=preset=9,dict=1MiB -T1" "$work/xz.out" "$input" \
  "xz -c -T1 --lzma2=preset=9,dict=1MiB $(q "$work/corpus.tar") >$(q "$work/xz.out")"

for round in $(seq "$runs"); do
  echo "round $round of $runs..." >&2
  for i in "${!keys[@]}"; do
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" bash -c "${commands[$i]}" >/dev/null
    read -r seconds user system kb <"$work/time"
    echo "${keys[$i]} $(stat -c %s "${outputs[$i]}") $seconds $kb $user $system" >>"$results"
  done
done
# One line per command: its best run; the size must be the same in every run.
best=$work/best
awk '
  { cpu = $5 + $6
    if (!($1 in size)) { order[++n] = $1; size[$1] = $2; wall[$1] = $3; kb[$1] = $4; secs[$1] = cpu; next }
    if ($2 != size[$1]) differs[$1] = 1
    if ($3 < wall[$1]) wall[$1] = $3
    if (cpu < secs[$1]) secs[$1] = cpu
    if ($4 > kb[$1]) kb[$1] = $4 }
  END { for (i = 1; i <= n; ++i) { k = order[i]; print k, size[k], wall[k], kb[k], secs[k], (k in differs) } }' "$results" >"$best"
printf '%-36s %12s %8s %8s %8s %9s %8s\n' method bytes ratio "wall s" "CPU s" "MB/s CPU" "MB peak"
# The lines come in the order the commands were added.
i=0
while read -r _ size seconds kb cpu differs; do
  awk -v l="${labels[$i]}" -v b="$size" -v s="$seconds" -v c="$cpu" -v k="$kb" -v n="${inputs[$i]}" \
    'BEGIN { printf "%-36s %12d %8.4f %8.2f %8.2f %9.2f %8.0f\n", l, b, b / n, s, c, n / (c > 0 ? c : 0.01) / 1e6, k / 1024 }'
  [ "$differs" = 0 ] || echo "  ${labels[$i]}: the output size differs from one run to the next"
  i=$((i + 1))
done <"$best"
for level in $(echo "$levels" | grep -o '[1-5]'); do
  "$tool" test "$work/L$level.rar" >/dev/null || echo "  level $level: the archive does NOT verify"
  if [ -f "$work/L${level}all.rar" ]; then
    cmp -s "$work/L$level.rar" "$work/L${level}all.rar" || echo "  level $level: output differs with $cores threads"
  fi
done

echo
echo "targets (against the peers of this run):"
awk -v cores="$cores" -v n="$input" '
  { size[$1] = $2; wall[$1] = $3; kb[$1] = $4; secs[$1] = $5 }
  function line(ok, text) { printf "  %-7s %s\n", ok ? "met" : "NOT met", text }
  END {
    zs = size["zstd"]; zt = secs["zstd"]; gs = size["gzip"]; gt = secs["gzip"]
    if ("L5" in size) {
      line(size["L5"] <= zs, sprintf("level 5 size <= zstd -19 (1 MB window): %.4f times", size["L5"] / zs))
      line(secs["L5"] <= 1.5 * zt, sprintf("level 5 CPU time <= 1.5 times zstd -19: %.2f times (%.1f s, %.1f s)", secs["L5"] / zt, secs["L5"], zt))
      if ("L5all" in wall)
        line(wall["L5all"] <= wall["zstd"], sprintf("level 5 wall time on %d threads <= zstd -19 on one core: %.2f times (%.1f s, %.1f s)", cores, wall["L5all"] / wall["zstd"], wall["L5all"], wall["zstd"]))
    }
    if ("L4" in size) {
      line(size["L4"] <= 1.01 * zs, sprintf("level 4 size <= 1.01 times zstd -19: %.4f times", size["L4"] / zs))
      line(secs["L4"] > 0 && n / 1e6 / secs["L4"] >= 5, sprintf("level 4 >= 5 MB/s of CPU time: %.2f MB/s", n / 1e6 / secs["L4"]))
    }
    if ("L3" in size) {
      line(size["L3"] <= 0.83 * gs, sprintf("level 3 size <= 0.83 times gzip -9: %.4f times", size["L3"] / gs))
      line(secs["L3"] > 0 && gt / secs["L3"] >= 2, sprintf("level 3 speed >= 2 times gzip -9 (CPU time): %.2f times (%.1f s, %.1f s)", gt / secs["L3"], secs["L3"], gt))
    }
    if ("L1" in size)
      line(secs["L1"] > 0 && n / 1e6 / secs["L1"] >= 30, sprintf("level 1 >= 30 MB/s of CPU time: %.2f MB/s", n / 1e6 / secs["L1"]))
    peak = 0
    for (k in kb) if (k ~ /^L/ && kb[k] > peak) peak = kb[k]
    line(peak <= 300 * 1024, sprintf("memory <= 300 MB at every level: %.0f MB at most", peak / 1024))
    if ("M1x4" in kb && "L1" in kb)
      line(kb["M1x4"] <= 300 * 1024 && kb["M1x4"] <= 1.1 * kb["L1"], sprintf("memory does not grow with the input: level 1 over 4 copies of the corpus %.0f MB, over one %.0f MB", kb["M1x4"] / 1024, kb["L1"] / 1024))
  }' "$best"
