#!/usr/bin/env bash
# Writes that fail for real: a file-size limit (SIGXFSZ ignored, so writes
# fail with EFBIG) cuts an extracted file or a built archive short. Neither
# command may report success, and neither leaves a file cut short behind.
set -u
source "$(dirname "$0")/common.inc"
if [ -n "${SOLIDSETUP_EMULATOR:-}" ]; then
  echo "skipped: needs the host's file-size limit (the disk-full scenario covers Windows)"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-full.XXXXXX")
trap 'rm -rf "$work"' EXIT
prod=$work/prod
mkdir -p "$prod"
head -c 102410 /dev/urandom >"$prod/big.bin"  # does not compress: stored
printf 'small\n' >"$prod/a-small.txt"
run_tool build "$prod" -o "$work/plain.rar" --stub none >/dev/null 2>&1
check "the archive is built" test -s "$work/plain.rar"

# ulimit -f counts blocks of 1024 bytes: 100 KB, below the entry's 102,410 bytes.
limited() { (trap '' XFSZ; ulimit -f 100; "$@"); }

limited "$tool" extract "$work/plain.rar" -d "$work/out" >"$work/log" 2>&1
check "extract under a file-size limit exits 1" test $? -eq 1
check "extract names the system's reason" grep -q 'big.bin.*File too large' "$work/log"
check "extract does not call it a damaged entry" bash -c "! grep -q 'checksum mismatch' '$work/log'"
check "no file cut short is left" test ! -e "$work/out/big.bin"
check "no partial file is left" bash -c "! ls '$work/out' | grep -q ss-part"
check "the entry before it is extracted" test -s "$work/out/a-small.txt"
check "no success count for the failed file" grep -q '^1 file extracted' "$work/log"

cp "$prod/big.bin" "$prod/big2.bin"
limited "$tool" build "$prod" -o "$work/again.rar" --stub none >"$work/log" 2>&1
check "build under a file-size limit exits 1" test $? -eq 1
check "build says it cannot write" grep -q 'cannot write' "$work/log"
check "build leaves no output" test ! -e "$work/again.rar"
check "build leaves no partial output" test ! -e "$work/again.rar.partial"
finish
