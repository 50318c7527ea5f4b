#!/usr/bin/env bash
# Builds the compression benchmark (native, optimised) and runs it over the
# PE corpus: every level of our compressor next to gzip -9, xz -9, zstd -19
# and the 1 MB-window xz and zstd. Extra arguments go to the benchmark
# (for example --levels 135 or --no-reference).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLIDSETUP_BENCH_BUILD:-$src/build/native}
for tool in gzip xz zstd tar; do
  command -v $tool >/dev/null || { echo "bench-compress: $tool is missing (apt-get install xz-utils zstd)" >&2; exit 1; }
done
cmake --preset native -B "$build" >/dev/null
cmake --build "$build" --target bench_compress -j2 >/dev/null
exec "$build/bench/bench_compress" "$@"
