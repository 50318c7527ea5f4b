#!/usr/bin/env bash
# The released tool (preset package: -O3, link-time and profile-guided
# optimisation) against the plain native build on the PE corpus of
# ../shared/bench/pe-corpus.txt: both must write the same archive bytes at
# every level, from the whole corpus or from a slice of every file, and the
# released tool's 'test' must verify them. An optimisation that changed what
# the compressor does would show here first.
#
# usage: compare-release.sh [--levels 12345] [--slice-bytes N] [--release TOOL]
#                           [--tool TOOL] [--dir DLL_FOLDER]
#   --slice-bytes  only the first N bytes of every corpus file (default: whole files)
#   --release      default build/package/solidsetup (scripts/build.sh package);
#                  when it is missing the comparison is skipped (exit status 77)
#   --tool         default build/native/solidsetup
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
levels=12345 slice_bytes=
release=$src/build/package/solidsetup tool=$src/build/native/solidsetup
dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
list=$src/../shared/bench/pe-corpus.txt
while [ $# -gt 0 ]; do
  case $1 in
    --levels) levels=${2//,/}; shift 2 ;;
    --slice-bytes) slice_bytes=$2; shift 2 ;;
    --release) release=$2; shift 2 ;;
    --tool) tool=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    *) echo "usage: compare-release.sh [--levels 12345] [--slice-bytes N] [--release TOOL] [--tool TOOL]" \
            "[--dir DLL_FOLDER]" >&2; exit 2 ;;
  esac
done
fail() { echo "compare-release: $*" >&2; exit 1; }
if [ ! -x "$release" ]; then
  echo "compare-release: skipped, no released tool at $release (scripts/build.sh package builds it)"
  exit 77
fi
[ -x "$tool" ] || fail "the tool $tool is missing"
[ -f "$list" ] || fail "the corpus list $list is missing"

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$src/scripts/corpus.sh"
corpus_folder "$list" "$dir" "$work/product" "$slice_bytes" || fail "$corpus_error"
echo "released tool $release against $tool, $(cat "$work"/product/* | wc -c) bytes in $corpus_files files"

failures=0
for ((i = 0; i < ${#levels}; i++)); do
  level=${levels:i:1}
  if ! "$tool" build "$work/product" -o "$work/plain.rar" --stub none --level "$level" --quiet ||
     ! "$release" build "$work/product" -o "$work/release.rar" --stub none --level "$level" --quiet; then
    echo "  FAIL level $level: a build failed"; failures=$((failures + 1)); continue
  fi
  if ! cmp -s "$work/plain.rar" "$work/release.rar"; then
    echo "  FAIL level $level: the archives differ: $(cmp "$work/plain.rar" "$work/release.rar" 2>&1 | head -1)"
    failures=$((failures + 1))
  elif ! "$release" test "$work/release.rar" --quiet; then
    echo "  FAIL level $level: the released tool does not verify its archive"; failures=$((failures + 1))
  else
    echo "  ok   level $level: the same $(stat -c %s "$work/release.rar") bytes, verified"
  fi
done
[ $failures -eq 0 ] || { echo "compare-release: $failures level(s) failed"; exit 1; }
echo "compare-release: the released and the plain tool write the same archives"
