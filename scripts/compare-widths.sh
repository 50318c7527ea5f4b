#!/usr/bin/env bash
# The builder and the archive pass at 32 and 64 bits on the PE corpus of
# ../shared/bench/pe-corpus.txt: the 32-bit tool (g++ -m32, run by user-mode
# qemu) must write the same archive bytes as the 64-bit tool from the same
# folder at every level, and its 'extract' must give back every file of the
# 64-bit tool's archive byte for byte. Prints what each step cost.
#
# usage: compare-widths.sh [--levels 12345] [--slice-levels LEVELS]
#                          [--slice-bytes N] [--tool32 TOOL] [--tool64 TOOL]
#                          [--emulator PROGRAM] [--dir DLL_FOLDER]
#   --levels        levels run over the whole corpus (default all five)
#   --slice-levels  levels run over a slice only: the first N bytes
#                   (--slice-bytes, default 32768) of every corpus file
#   --tool32        default build/i386/solidsetup
#   --tool64        default build/native/solidsetup (built when missing)
# With no arguments: the whole corpus at every level (long: level 5 alone
# takes minutes natively and far longer under emulation).
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
levels=12345 slice_levels= slice_bytes=32768
tool32=$src/build/i386/solidsetup tool64=$src/build/native/solidsetup
emulator=qemu-i386-static
dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
list=$src/../shared/bench/pe-corpus.txt
while [ $# -gt 0 ]; do
  case $1 in
    --levels) levels=${2//,/}; shift 2 ;;
    --slice-levels) slice_levels=${2//,/}; shift 2 ;;
    --slice-bytes) slice_bytes=$2; shift 2 ;;
    --tool32) tool32=$2; shift 2 ;;
    --tool64) tool64=$2; shift 2 ;;
    --emulator) emulator=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    *) echo "usage: compare-widths.sh [--levels 12345] [--slice-levels 45] [--slice-bytes N]" \
            "[--tool32 TOOL] [--tool64 TOOL] [--emulator PROGRAM] [--dir DLL_FOLDER]" >&2; exit 2 ;;
  esac
done

fail() { echo "compare-widths: $*" >&2; exit 1; }
[ -f "$list" ] || fail "the corpus list $list is missing"
[ -x "$tool32" ] || fail "the 32-bit tool $tool32 is missing (cmake --preset i386 && cmake --build --preset i386)"
command -v "$emulator" >/dev/null || fail "$emulator is missing (scripts/bootstrap.sh installs qemu-user-static)"
if [ ! -x "$tool64" ]; then
  echo "building the 64-bit tool (preset native)"
  (cd "$src" && cmake --preset native >/dev/null && cmake --build --preset native --target solidsetup >/dev/null) ||
    fail "the 64-bit tool could not be built"
fi
[ "$(od -An -tx1 -j4 -N1 "$tool32" | tr -d ' ')" = 01 ] || fail "$tool32 is not a 32-bit program"
[ "$(od -An -tx1 -j4 -N1 "$tool64" | tr -d ' ')" = 02 ] || fail "$tool64 is not a 64-bit program"

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-widths.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The product folders: the whole corpus, and the slice.
. "$src/scripts/corpus.sh"
corpus_folder "$list" "$dir" "$work/whole" || fail "$corpus_error"
corpus_folder "$list" "$dir" "$work/slice" "$slice_bytes" || fail "$corpus_error"
files=$corpus_files

# Runs a command, leaving its wall and CPU seconds in $took.
TIMEFORMAT='%R s (CPU %U s)'
timed() {
  local t=$work/time.txt
  { time "$@" >"$work/out.txt" 2>&1; } 2>"$t"
  local rc=$?
  took=$(cat "$t")
  [ $rc -eq 0 ] || { cat "$work/out.txt" >&2; return $rc; }
}

failures=0
compare() {  # compare LEVEL FOLDER DESCRIPTION
  local level=$1 prod=$2 what=$3 a64=$work/64.rar a32=$work/32.rar out=$work/x
  local bytes
  bytes=$(cat "$prod"/* | wc -c)
  echo "level $level, $what ($files files, $bytes bytes):"
  rm -rf "$a64" "$a32" "$out"
  timed "$tool64" build "$prod" -o "$a64" --stub none --level "$level" --quiet ||
    { echo "  FAIL 64-bit build"; failures=$((failures + 1)); return; }
  echo "  64-bit build            $took, $(stat -c %s "$a64") bytes"
  timed "$emulator" "$tool32" build "$prod" -o "$a32" --stub none --level "$level" --quiet ||
    { echo "  FAIL 32-bit build"; failures=$((failures + 1)); return; }
  echo "  32-bit build (emulated) $took"
  if cmp -s "$a64" "$a32"; then
    echo "  ok   the same archive bytes"
  else
    echo "  FAIL the archives differ: $(cmp "$a64" "$a32" 2>&1 | head -1)"
    failures=$((failures + 1))
  fi
  mkdir -p "$out"
  timed "$emulator" "$tool32" extract "$a64" -d "$out" ||
    { echo "  FAIL 32-bit extract of the 64-bit archive"; failures=$((failures + 1)); return; }
  echo "  32-bit extract (emulated) $took"
  if diff -r -q "$prod" "$out" >"$work/diff.txt"; then
    echo "  ok   every file back byte for byte"
  else
    echo "  FAIL extracted files differ:"; head -5 "$work/diff.txt"
    failures=$((failures + 1))
  fi
}

for ((i = 0; i < ${#levels}; i++)); do compare "${levels:i:1}" "$work/whole" "whole corpus"; done
for ((i = 0; i < ${#slice_levels}; i++)); do
  compare "${slice_levels:i:1}" "$work/slice" "first $slice_bytes bytes of every file"
done
[ $failures -eq 0 ] || { echo "compare-widths: $failures comparison(s) failed"; exit 1; }
echo "compare-widths: 32-bit and 64-bit results identical"
