#!/usr/bin/env bash
# An archive or setup program cut short, as by an interrupted download:
# 'test' and 'list' fail at every cut that falls inside a block, and warn
# that the end block is missing when the cut falls exactly between blocks.
# A header whose checksum does not match is damage for both.
set -u
source "$(dirname "$0")/common.inc"

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-cut.XXXXXX")
trap 'rm -rf "$work"' EXIT
stride=1
[ -n "${SOLIDSETUP_EMULATOR:-}" ] && stride=101  # each run starts the emulator (seconds on a busy machine)
# The sanitizer build starts slowly too; the plain native run tries every cut.
if [ -z "${SOLIDSETUP_EMULATOR:-}" ] && ldd "$tool" 2>/dev/null | grep -q libasan; then stride=7; fi

prod=$work/prod
mkdir -p "$prod"
printf 'Cut Version 1.0\r\n' >"$prod/FILE_ID.DIZ"
for i in $(seq 1 40); do echo "line $i of the second file"; done >"$prod/second.txt"
# A stub: any Windows executable's first bytes will do for the archive reader.
{ printf 'MZ'; head -c 20000 /dev/zero | tr '\0' 'x'; } >"$work/stub.exe"

# Block boundaries of the archive that starts at offset $2 of file $1: the
# end of every block (header plus data area), the main header's first. (A
# file cut right after the marker holds no archive at all.)
boundaries() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
at = int(sys.argv[2]) + 7
while at + 7 <= len(data):
    kind, flags, size = data[at + 2], *struct.unpack_from('<HH', data, at + 3)
    add = struct.unpack_from('<I', data, at + 7)[0] if flags & 0x8000 else 0
    at += size + add
    print(at)
    if kind == 0x7B:
        break
PY
}

# Runs 'test' on every cut of file $1 from offset $2 on; the archive starts at $3.
check_cuts() {
  local file=$1 from=$2 start=$3 size bad=0 len
  size=$(stat -c %s "$file")
  local -A boundary=()
  for b in $(boundaries "$file" "$start"); do boundary[$b]=1; done
  for ((len = from; len < size; len += stride)); do
    head -c "$len" "$file" >"$work/cut"
    if [ -n "${boundary[$len]:-}" ]; then
      if ! run_tool test "$(winpath "$work/cut")" >"$work/out" 2>&1 || ! grep -q 'no end-of-archive block' "$work/out"; then
        echo "cut at $len (a block boundary): $(tr '\n' ' ' <"$work/out")"
        bad=$((bad + 1))
      fi
    elif run_tool test "$(winpath "$work/cut")" >"$work/out" 2>&1; then
      echo "cut at $len: test succeeded: $(tr '\n' ' ' <"$work/out")"
      bad=$((bad + 1))
    fi
  done
  # Cuts exactly on the boundaries are tried whatever the stride.
  for b in "${!boundary[@]}"; do
    [ "$b" -lt "$size" ] || continue
    head -c "$b" "$file" >"$work/cut"
    run_tool test "$(winpath "$work/cut")" >"$work/out" 2>&1 && grep -q 'no end-of-archive block' "$work/out" ||
      { echo "cut at $b (a block boundary): $(tr '\n' ' ' <"$work/out")"; bad=$((bad + 1)); }
  done
  [ "$bad" -eq 0 ]
}

run_tool build "$(winpath "$prod")" -o "$(winpath "$work/plain.rar")" --stub none >/dev/null 2>&1
check "a plain archive is built" test -s "$work/plain.rar"
tests_clean() { run_tool test "$(winpath "$1")" >"$work/out" 2>&1 && ! grep -q warning "$work/out"; }
test_fails() { ! run_tool test "$(winpath "$1")" >"$work/out" 2>&1; }
check "the whole archive tests OK without a warning" tests_clean "$work/plain.rar"
check "every cut of the plain archive fails, or warns on a block boundary" check_cuts "$work/plain.rar" 7 0

run_tool build "$(winpath "$prod")" -o "$(winpath "$work/Setup.exe")" --stub "$(winpath "$work/stub.exe")" >/dev/null 2>&1
check "a setup program is built" test -s "$work/Setup.exe"
check "the whole setup program tests OK without a warning" tests_clean "$work/Setup.exe"
stub_size=$(stat -c %s "$work/stub.exe")
check "every cut of the setup program's archive fails, or warns on a block boundary" \
  check_cuts "$work/Setup.exe" "$stub_size" "$stub_size"
# Cut inside the program itself: no archive at all.
head -c 15000 "$work/Setup.exe" >"$work/cut"
check "a setup program cut inside its program part fails" test_fails "$work/cut"

# 'list' says so too.
len=$(( $(stat -c %s "$work/plain.rar") - 30 ))
head -c "$len" "$work/plain.rar" >"$work/cut"
run_tool list "$(winpath "$work/cut")" >"$work/out" 2>&1
check "list of a cut archive exits 1" test $? -eq 1
check "list names the cut" grep -q 'cut short' "$work/out"

# A header checksum that does not match: the setup would read on, the tool does not.
cp "$work/plain.rar" "$work/crc.rar"
printf '\x00\x00' | dd of="$work/crc.rar" bs=1 seek=20 conv=notrunc status=none
run_tool test "$(winpath "$work/crc.rar")" >"$work/out" 2>&1
check "test of a header with a wrong checksum exits 1" test $? -eq 1
check "test names the checksum mismatch" grep -q "FILE_ID.DIZ.*checksum does not match" "$work/out"
run_tool list "$(winpath "$work/crc.rar")" >"$work/out" 2>&1
check "list of a header with a wrong checksum exits 1" test $? -eq 1
finish
