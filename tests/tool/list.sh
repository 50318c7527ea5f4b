#!/usr/bin/env bash
# 'solidsetup list' on the real archives of other archivers.
set -u
source "$(dirname "$0")/common.inc"
real=$data/real
out=$(mktemp)
trap 'rm -f "$out"' EXIT

run_tool list "$(winpath "$real/rar2-unix-owner.rar")" >"$out"
check "list exits 0" test $? -eq 0
check "file.txt shown with size 4, version 20, attributes 0x20, CRC" \
  grep -Eq '^ +17 +4 +0x33 +20 +3 +0x20 .* 7E3265A8 .* file\.txt$' "$out"
check "one entry counted" grep -q '^1 entry$' "$out"

run_tool list "$(winpath "$real/rar3-readonly-win.rar")" >"$out"
check "read-only file and directory flagged" \
  bash -c "grep -Eq '0x21 .* ro_dir\\\\ro_file\\.txt$' '$out' && grep -Eq 'dir +ro_dir$' '$out'"

run_tool list "$(winpath "$real/rar202-comment-psw.rar")" >"$out"
check "encrypted entries flagged" test "$(grep -c ' encrypted ' "$out")" -eq 2

run_tool list "$(winpath "$real/rar3-vols.part2.rar")" >"$out"
check "split entry flagged both ways" grep -q 'split-before,split-after' "$out"

run_tool list "$(winpath "$real/rar3-seektest.sfx")" >"$out" 2>&1
status=$?
check "archive beyond the scanned window: non-zero exit" test $status -ne 0
check "archive beyond the scanned window: message" grep -q 'no archive found' "$out"

run_tool list "$(winpath "$real/does-not-exist.rar")" >"$out" 2>&1
status=$?
check "missing file: non-zero exit and message" bash -c "[ $status -ne 0 ] && grep -q 'cannot open' '$out'"

run_tool --help >"$out"
check "help names every command" bash -c "for c in list test extract build; do grep -q \"  \$c \" '$out' || exit 1; done"
finish
