#!/usr/bin/env bash
# Every speed figure of the decoder in one run, on one core (taskset -c 0):
#  1. ExtractArchive over the PE corpus packed at the default level, entries
#     verified in memory and written to files, next to the reference engine
#     (the engine before its speed-ups) and gzip -dc, xz -dc, zstd -dc over a
#     tar of the same files;
#  2. CRC-32 throughput on 64 MB;
#  3. instructions per output byte under callgrind, fast and reference engine;
#  4. the setup's survey and install passes under Wine (win64), for the demo
#     product and for the corpus, against cp of the same files.
# usage: scripts/bench.sh [--runs N] [--no-wine] [--no-callgrind]
# Builds go to build/bench-native and build/bench-win64 (SOLIDSETUP_BENCH_BUILD
# overrides the first).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
runs=5
wine=1
callgrind=1
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --no-wine) wine=0; shift ;;
    --no-callgrind) callgrind=0; shift ;;
    *) echo "usage: scripts/bench.sh [--runs N] [--no-wine] [--no-callgrind]" >&2; exit 2 ;;
  esac
done
for tool in gzip xz zstd tar taskset; do
  command -v $tool >/dev/null || { echo "bench: $tool is missing (apt-get install xz-utils zstd)" >&2; exit 1; }
done
if [ $callgrind = 1 ] && ! command -v valgrind >/dev/null; then
  echo "bench: valgrind is missing (apt-get install valgrind); skipping instruction counts" >&2
  callgrind=0
fi

build=${SOLIDSETUP_BENCH_BUILD:-$src/build/bench-native}
wbuild=$src/build/bench-win64
corpus_list=$src/../shared/bench/pe-corpus.txt
# (The package's file list is read whole first: a reader that stops early
# would end dpkg with SIGPIPE, which pipefail turns into a failure.)
libwine_files=$(dpkg -L libwine 2>/dev/null || true)
dll_dir=$(grep -m1 '/x86_64-windows/' <<<"$libwine_files" | xargs -r dirname || true)
[ -n "$dll_dir" ] || dll_dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
work=$(mktemp -d /tmp/solidsetup-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== building (native, optimised)"
cmake --preset native -B "$build" >/dev/null
cmake --build "$build" --target bench_decode bench_crc32 bench_setup_speed solidsetup -j2 >/dev/null

# The corpus files alone in one folder, packed at the builder's default level.
mkdir -p "$work/corpus"
grep -v '^#' "$corpus_list" | grep . > "$work/order.txt"
while read -r name; do cp "$dll_dir/$name" "$work/corpus/"; done < "$work/order.txt"
"$build/solidsetup" build "$work/corpus" -o "$work/corpus.rar" --stub none --order "$work/order.txt" --quiet

echo
echo "== 1. decoding the PE corpus ($(wc -l < "$work/order.txt") DLLs of $dll_dir)"
taskset -c 0 "$build/bench/bench_decode" "$work/corpus.rar" --corpus "$corpus_list" --dir "$dll_dir" --runs "$runs"

echo
echo "== 2. CRC-32"
taskset -c 0 "$build/bench/bench_crc32"

if [ $callgrind = 1 ]; then
  echo
  echo "== 3. instructions per output byte (valgrind --tool=callgrind, one verified pass)"
  for engine in fast reference; do
    out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$build/bench/bench_decode" "$work/corpus.rar" \
            --one-pass $engine 2>&1)
    ir=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' <<<"$out")
    bytes=$(sed -n 's/.*unpacked \([0-9]*\).*/\1/p' <<<"$out")
    label=$([ $engine = fast ] && echo "engine now" || echo "reference engine (before)")
    awk -v ir="$ir" -v b="$bytes" -v l="$label" 'BEGIN { printf "  %-28s %14d instructions  %6.2f per byte\n", l, ir, ir / b }'
  done
fi

[ $wine = 1 ] || exit 0
if ! command -v x86_64-w64-mingw32-g++ >/dev/null || [ ! -x /usr/lib/wine/wine64 ]; then
  echo "bench: mingw-w64 or wine64 missing; skipping the setup under Wine" >&2
  exit 0
fi
echo
echo "== 4. the setup's two passes under Wine (win64), against cp"
cmake --preset win64 -B "$wbuild" >/dev/null
cmake --build "$wbuild" --target bench_setup_speed bench_setup_speed_reference demo_product -j2 >/dev/null
"$build/solidsetup" build "$wbuild/demo-product" -o "$work/demo.rar" --stub none --quiet

. "$src/scripts/wine-env.sh"
wine_env "$wbuild/wineprefix"
winpath() { echo "Z:${1//\//\\}"; }
# Best wall time of `runs` runs of a command, in seconds.
best_wall() {
  local best=""
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
    best=$(awk -v a="$best" -v t0="$t0" -v t1="$t1" 'BEGIN { t = t1 - t0; print (a == "" || t < a + 0) ? t : a }')
  done
  echo "$best"
}
for payload in demo corpus; do
  if [ $payload = demo ]; then files="$wbuild/demo-product"; else files="$work/corpus"; fi
  echo "-- $payload: $(find "$files" -type f | wc -l) files, $(du -sb "$files" | cut -f1) bytes," \
       "archive $(stat -c %s "$work/$payload.rar") bytes"
  rm -rf "$work/out"
  echo "  engine now:"
  taskset -c 0 "$WINE" "$wbuild/bench/bench_setup_speed.exe" "$(winpath "$work/$payload.rar")" \
    "$(winpath "$work/out")" --runs "$runs" | tr -d '\r' | sed 's/^/  /'
  echo "  reference engine (before):"
  taskset -c 0 "$WINE" "$wbuild/bench/bench_setup_speed_reference.exe" "$(winpath "$work/$payload.rar")" \
    "$(winpath "$work/out")" --runs "$runs" | tr -d '\r' | sed 's/^/  /'
  process=$(best_wall taskset -c 0 "$WINE" "$wbuild/bench/bench_setup_speed.exe" \
              "$(winpath "$work/$payload.rar")" "$(winpath "$work/out")" --runs 1)
  echo "    the whole Wine process (start-up, both passes, exit): $process s"
  copy=$(best_wall bash -c "rm -rf '$work/copy' && cp -r '$files' '$work/copy'")
  echo "    cp -r of the same files:                              $copy s"
  rm -rf "$work/out" "$work/copy"
done
wine_stop_server
