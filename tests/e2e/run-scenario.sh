#!/usr/bin/env bash
# Runs one end-to-end scenario of the demo Setup.exe under Wine.
# usage: run-scenario.sh SCENARIO BUILD_DIR DRIVER TOOL STUB
#   prepare: makes the template Wine prefix and the demo Setup.exe (once).
#   others:  copies the template into a fresh prefix and runs the driver in it.
set -euo pipefail
scenario=$1
build=$(realpath "$2") driver=$(realpath "$3") tool=$(realpath "$4") stub=$(realpath "$5")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
e2e=$build/e2e
winepath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
# The build's virtual display when its Wine session runs (under CTest);
# otherwise with-display.sh below finds one.
wine_session_display "$build"

if [ "$scenario" = prepare ]; then
  mkdir -p "$e2e"
  wine_env "$e2e/template"
  "$WINE" "$tool" build "$(winepath "$build/demo-product")" \
    -o "$(winepath "$e2e/Setup.exe")" --stub "$(winepath "$stub")" | tr -d '\r'
  # The demo product without its own uninstaller: the builder adds ours.
  rm -rf "$e2e/product-generated" "$e2e/generated"
  mkdir -p "$e2e/generated"
  cp -r "$build/demo-product" "$e2e/product-generated"
  rm -f "$e2e/product-generated/UnInst.exe"
  "$WINE" "$tool" build "$(winepath "$e2e/product-generated")" \
    -o "$(winepath "$e2e/generated/Setup.exe")" --stub "$(winepath "$stub")" \
    --uninstaller "$(winepath "$build/Uninstaller.exe")" | tr -d '\r'
  "$WINESERVER" -k 2>/dev/null || true
  test -s "$e2e/Setup.exe"
  test -s "$e2e/generated/Setup.exe"
  # The same program signed with a throwaway self-signed certificate.
  rm -f "$e2e/signed/Setup.exe"
  if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
    openssl req -x509 -newkey rsa:2048 -keyout "$e2e/key.pem" -out "$e2e/cert.pem" -days 2 -nodes \
      -subj "/CN=solidsetup test publisher" >/dev/null 2>&1
    mkdir -p "$e2e/signed"
    osslsigncode sign -certs "$e2e/cert.pem" -key "$e2e/key.pem" -n "Demo Product" \
      -in "$e2e/Setup.exe" -out "$e2e/signed/Setup.exe" >/dev/null
    osslsigncode verify -CAfile "$e2e/cert.pem" "$e2e/signed/Setup.exe" | grep -q 'Signature verification: ok'
  fi
  exit 0
fi

# A fresh prefix: files shared with the template by hard links (Wine replaces
# what it changes rather than writing into it), the registry copied.
prefix=$e2e/prefix-$scenario
rm -rf "$prefix"
cp -al "$e2e/template" "$prefix"
for reg in "$e2e"/template/*.reg; do rm -f "$prefix/$(basename "$reg")"; cp "$reg" "$prefix/"; done
wine_env "$prefix"
if [ "$scenario" = german ]; then
  # German system language, and no Quick Launch folder: its box is hidden.
  export LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8
else
  # A user with a Quick Launch folder, as on a classic desktop.
  for home in "$prefix"/drive_c/users/*/AppData/Roaming; do
    case $home in */Public/*) continue ;; esac
    mkdir -p "$home/Microsoft/Internet Explorer/Quick Launch"
  done
fi

out=$e2e/out-$scenario
rm -rf "$out"
mkdir -p "$out"
setup=$e2e/Setup.exe
driven=$scenario
if [ "$scenario" = signed ]; then
  # The signed program installs exactly like the unsigned one.
  setup=$e2e/signed/Setup.exe
  driven=fresh
  test -s "$setup" || { echo "no signed Setup.exe (osslsigncode missing?)"; exit 1; }
fi
if [ "$scenario" = uninstall ]; then
  setup=$e2e/generated/Setup.exe
fi
status=0
"$here/../../scripts/with-display.sh" "$WINE" "$driver" "$driven" "$(winepath "$setup")" \
  "$(winepath "$build/demo-product")" "$(winepath "$out")" | tr -d '\r' || status=$?
"$WINESERVER" -k 2>/dev/null || true
[ $status -eq 0 ] && rm -rf "$prefix"
exit $status
