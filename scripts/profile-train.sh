#!/usr/bin/env bash
# First step of the package build's profile-guided optimisation: builds the
# tool instrumented (SOLIDSETUP_PROFILE=generate) in the package build folder
# and runs it on x86-64 machine code that every build machine has (slices of
# the compiler's own cc1plus; no file of the benchmark corpus), at every
# level, then lists, tests and extracts the result, so that the counts cover
# the compressor and the decoder. scripts/build.sh package then builds with
# the counts. The training is skipped when the counts on hand came from the
# same sources, build settings, compiler and training (build/package/
# profile.stamp records their checksum); SOLIDSETUP_RETRAIN=1 forces it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package
stamp=$build/profile.stamp
# Everything the counts depend on: every source and build file as it is now
# (git or not), and the compiler.
inputs=$( (find . \( -path ./build -o -path ./.git \) -prune -o -type f \
            \( -name '*.cpp' -o -name '*.h' -o -name '*.cmake' -o -name CMakeLists.txt \
               -o -name CMakePresets.json -o -path ./scripts/profile-train.sh \) -print0 |
            sort -z | xargs -0 sha256sum
          g++ --version) | sha256sum | cut -d' ' -f1)
if [ "${SOLIDSETUP_RETRAIN:-0}" != 1 ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$inputs" ] &&
   [ -n "$(find "$build" -name '*.gcda' -print -quit)" ]; then
  echo "== the package build's profile is up to date (SOLIDSETUP_RETRAIN=1 trains again)"
  exit 0
fi
echo "== train the package build's profile"
rm -f "$stamp"
cmake --preset package -DSOLIDSETUP_PROFILE=generate >/dev/null
# Counts of an earlier training would add up with these.
find "$build" -name '*.gcda' -delete
# (Ninja prints a failing compiler's messages with its own output: kept in
# a log, shown when the build fails.)
log=$build/profile-train.log
cmake --build "$build" --target solidsetup -j "$(nproc)" >"$log" 2>&1 ||
  { tail -n 40 "$log" >&2; echo "profile-train: the instrumented build failed (all of it: $log)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/product"
code=$(g++ -print-prog-name=cc1plus)
[ -s "$code" ] || { echo "profile-train: no cc1plus to train on (g++ -print-prog-name=cc1plus)" >&2; exit 1; }
head -c 6000000 "$code" >"$work/product/first.bin"
tail -c 6000000 "$code" >"$work/product/last.bin"
tool=$build/solidsetup
for level in 1 2 3 4 5; do
  "$tool" build "$work/product" -o "$work/L$level.rar" --stub none --level "$level" --threads 1 --quiet
done
# The optimal levels find matches on a second thread when there is one.
"$tool" build "$work/product" -o "$work/threads.rar" --stub none --level 4 --threads 2 --quiet
cmp -s "$work/L4.rar" "$work/threads.rar" || { echo "profile-train: level 4 differs with 2 threads" >&2; exit 1; }
"$tool" list "$work/L5.rar" >/dev/null
"$tool" test "$work/L3.rar" --quiet
"$tool" extract "$work/L1.rar" -d "$work/out" --quiet
cmp -s "$work/product/first.bin" "$work/out/first.bin" || { echo "profile-train: extract differs" >&2; exit 1; }
echo "trained on $(cat "$work/product/"* | wc -c) bytes of x86-64 code"
echo "$inputs" >"$stamp"
