#!/usr/bin/env bash
# Signed setup programs: the demo Setup.exe (i686 and win64) signed with a
# throwaway self-signed certificate still verifies and still reads back, and a
# signature whose bytes look like archive blocks is never read as such.
set -u
source "$(dirname "$0")/common.inc"
if [ $windows_tool -eq 1 ]; then echo "signing is checked by the Linux runs"; exit 0; fi
if ! command -v osslsigncode >/dev/null || ! command -v openssl >/dev/null; then
  echo "osslsigncode or openssl missing (scripts/bootstrap.sh installs them)"; exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
builds=$src/build
# The tool as a command line for the checks below (through the emulator, if any).
runner="'$tool'"
[ -n "${SOLIDSETUP_EMULATOR:-}" ] && runner="'$SOLIDSETUP_EMULATOR' '$tool'"

openssl req -x509 -newkey rsa:2048 -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 -nodes \
  -subj "/CN=solidsetup test publisher" >/dev/null 2>&1
check "throwaway certificate made" test -s "$work/cert.pem"

for arch in win32 win64; do
  stub=$builds/$arch/Setup.exe product=$builds/$arch/demo-product
  if [ ! -f "$stub" ] || [ ! -d "$product" ]; then
    check "$arch: Setup.exe and the demo product are built (scripts/build.sh $arch)" false
    continue
  fi
  run_tool build "$product" -o "$work/Setup-$arch.exe" --stub "$stub" --quiet
  check "$arch: demo Setup.exe built" test -s "$work/Setup-$arch.exe"
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Demo Product" \
    -in "$work/Setup-$arch.exe" -out "$work/Signed-$arch.exe" >/dev/null 2>&1
  check "$arch: signed" test -s "$work/Signed-$arch.exe"
  check "$arch: signature grows the file" test "$(stat -c %s "$work/Signed-$arch.exe")" -gt "$(stat -c %s "$work/Setup-$arch.exe")"
  check "$arch: osslsigncode verify accepts the signature" \
    bash -c "osslsigncode verify -CAfile '$work/cert.pem' '$work/Signed-$arch.exe' 2>&1 | grep -q 'Signature verification: ok'"
  check "$arch: the signed file tests OK" bash -c "$runner test '$work/Signed-$arch.exe' >/dev/null"
  check "$arch: the signed file lists 29 entries" bash -c "$runner list '$work/Signed-$arch.exe' | grep -q '^29 entries$'"
done

# A trailer that reads as a stored file header with a wrong checksum: behind
# the end block it is ignored; without the end block it would be decoded.
# The demo's texts, with a stand-in for its main program.
cp -r "$src/examples/demo" "$work/demo" && echo stand-in >"$work/demo/TGDEMO.EXE"
run_tool build "$work/demo" -o "$work/plain.rar" --stub none --quiet
python3 - "$work/plain.rar" "$work/trailer.rar" "$work/noend.rar" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[-5:-2] == b'\x7b\x00\x40', 'archive does not end with the end block'
name = b'certificate.bin'
body = b'\x74' + struct.pack('<HHiiBIIBBHI', 0x8000, 32 + len(name), 8, 8, 2, 0x12345678, 0, 20, 0x30, len(name), 0x20) + name
header = struct.pack('<H', zlib.crc32(body) & 0xFFFF) + body
trailer = header + b'SIGNATUR'
open(sys.argv[2], 'wb').write(data + trailer)
open(sys.argv[3], 'wb').write(data[:-7] + trailer)
PY
check "a header-like signature behind the end block is not read" bash -c "$runner test '$work/trailer.rar' >/dev/null"
check "without the end block the same bytes would be read as an entry" \
  bash -c "! $runner test '$work/noend.rar' >/dev/null 2>&1"
finish
