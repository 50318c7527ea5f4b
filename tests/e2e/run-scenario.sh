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
# What 'solidsetup check' says the demo product installs must be what the
# fresh installation left: the same files in the destination folder, the same
# shortcuts in the program group, on the desktop and in Quick Launch.
compare_with_plan() {
  local plan=$out/plan.txt dest="$prefix/drive_c/Program Files/Demo Product" fails=0
  local programs="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Demo Product"
  "$WINE" "$tool" check "$(winepath "$build/demo-product")" 2>&1 | tr -d '\r' >"$plan"
  echo
  echo "Installed files and shortcuts against the plan of 'solidsetup check':"
  awk '/^Files /{on=1; next} on && /^$/{on=0} on && /^  [^-]/{sub(/^  /, ""); sub(/  \(.*\)$/, ""); print}' "$plan" |
    sort >"$out/plan-files.txt"
  (cd "$dest" && ls -A) | sort >"$out/installed-files.txt"
  if diff "$out/plan-files.txt" "$out/installed-files.txt"; then
    echo "ok   the $(wc -l <"$out/plan-files.txt") planned files are exactly the installed ones"
  else
    echo "FAIL installed files differ from the plan (< planned, > installed)"; fails=1
  fi
  grep -E '^  Start menu ' "$plan" | sed -E 's/^  Start menu +Programs\\Demo Product\\(.*) -> .*$/\1/' | sort >"$out/plan-group.txt"
  (cd "$programs" && ls -A) | sort >"$out/installed-group.txt"
  if [ -s "$out/plan-group.txt" ] && diff "$out/plan-group.txt" "$out/installed-group.txt"; then
    echo "ok   the program group holds exactly the planned shortcuts: $(tr '\n' ' ' <"$out/plan-group.txt")"
  else
    echo "FAIL program group differs from the plan (< planned, > made)"; fails=1
  fi
  for place in Desktop "Quick Launch"; do
    local name
    name=$(grep -E "^  $place +" "$plan" | sed -E "s/^  $place +(.*) -> .*$/\1/" | sed -E 's/ +$//')
    if [ -n "$name" ] && find -L "$prefix/drive_c/users" -path "*$place*/$name" | grep -q .; then
      echo "ok   $place: '$name' planned and made"
    else
      echo "FAIL $place: '$name' planned but not found"; fails=1
    fi
  done
  return $fails
}

if [ "$scenario" = uninstall ]; then
  setup=$e2e/generated/Setup.exe
fi
status=0
"$here/../../scripts/with-display.sh" "$WINE" "$driver" "$driven" "$(winepath "$setup")" \
  "$(winepath "$build/demo-product")" "$(winepath "$out")" | tr -d '\r' || status=$?
if [ $status -eq 0 ] && [ "$driven" = fresh ]; then compare_with_plan || status=1; fi
"$WINESERVER" -k 2>/dev/null || true
[ $status -eq 0 ] && rm -rf "$prefix"
exit $status
