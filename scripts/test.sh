#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test: native,
# native under AddressSanitizer/UndefinedBehaviorSanitizer, the 32-bit build
# under user-mode emulation (qemu-i386), a short fuzzing
# regression of every libFuzzer target, and the win64 build under Wine on a
# virtual display. The i686 build is built only.
set -euo pipefail
cd "$(dirname "$0")/.."
# Seconds each phase took, printed at the end.
timings=()
phase_start=$SECONDS
end_phase() { timings+=("$1 $((SECONDS - phase_start)) s"); phase_start=$SECONDS; }

scripts/bootstrap.sh
end_phase bootstrap
scripts/build.sh native native-asan i386 fuzz win32 win64
end_phase build

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
run_ctest() {
  echo "== test $1"
  ctest --preset "$1" -j 2 2>&1 | tee -a "$log" || status=1
}

run_ctest native
end_phase "test native"
run_ctest native-asan
end_phase "test native-asan"
run_ctest i386
# The paths the 32-bit run took (CRC-32 on both processor models, the decoder).
grep -h -E '^(CRC-32 path:|decoder:|replayed |compare-widths:)' build/i386/Testing/Temporary/LastTest.log | sort | uniq -c || true
end_phase "test i386 under qemu"
run_ctest fuzz
end_phase "fuzz regression"

# A fresh Wine prefix is made once before the tests share it.
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
scripts/wine-prefix.sh "$WINEPREFIX"
# One wine server for the whole run: tests that start while a server of a
# previous test is shutting down would otherwise fail to connect to it.
/usr/lib/wine/wineserver -p
# The first program in a new server session starts Wine's own services, which
# then live as long as the server. Started here, with nothing attached, they
# cannot hold a test's output pipe open (CTest would wait for it to close).
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 || true
SOLIDSETUP_PRIVATE_DISPLAY=1 scripts/with-display.sh bash -c "$(declare -f run_ctest); log='$log'; status=0; run_ctest win64; exit \$status" || status=1
/usr/lib/wine/wineserver -k 2>/dev/null || true
end_phase "test win64 under Wine"

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
