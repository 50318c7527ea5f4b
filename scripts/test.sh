#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test: native,
# native under AddressSanitizer/UndefinedBehaviorSanitizer, the 32-bit build
# under user-mode emulation (qemu-i386), a short fuzzing
# regression of every libFuzzer target, and the win64 build under Wine on a
# virtual display (the tests start their own Wine session). The i686 build is
# built only; the released tool (preset package) is built and compared with
# the native one.
set -euo pipefail
cd "$(dirname "$0")/.."
# Seconds each phase took, printed at the end.
timings=()
phase_start=$SECONDS
end_phase() { timings+=("$1 $((SECONDS - phase_start)) s"); phase_start=$SECONDS; }

scripts/bootstrap.sh
end_phase bootstrap
scripts/build.sh native native-asan i386 fuzz win32 win64 package
end_phase build

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
run_ctest() {
  echo "== test $1"
  ctest --preset "$1" -j 2 2>&1 | tee -a "$log" || status=1
}

# The Windows tests start and stop their Wine session themselves (CTest
# fixtures), so every preset is run alike.
for preset in native i386 native-asan fuzz win64; do
  run_ctest "$preset"
  end_phase "test $preset"
done
# The paths the 32-bit run took (CRC-32 on both processor models, the decoder).
grep -h -E '^(CRC-32 path:|decoder:|replayed |compare-widths:)' build/i386/Testing/Temporary/LastTest.log | sort | uniq -c || true

passed=0 failed=0
while read -r line; do
  if [[ $line =~ ([0-9]+)%\ tests\ passed,\ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[2]))
    passed=$((passed + BASH_REMATCH[3] - BASH_REMATCH[2]))
  fi
done < "$log"
echo
printf 'time: %s\n' "${timings[@]}"
echo "all presets: $passed passed, $failed failed"
exit $status
