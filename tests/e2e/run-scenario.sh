#!/usr/bin/env bash
# Runs one end-to-end scenario of the demo Setup.exe under Wine.
# usage: run-scenario.sh SCENARIO BUILD_DIR DRIVER TOOL STUB
#   prepare: makes the template Wine prefix and the demo Setup.exe (once).
#   others:  copies the template into a fresh prefix and runs the driver in it.
#   windows-tool: first makes the setup with the tool from the Windows zip.
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
  # (The scenarios keep managed windows: unmanaged, a context menu opened
  # under the pointer sometimes had its first item lit by the pointer before
  # the driver's keys came, sometimes not, and the keys chose the wrong item.)
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
  # A product whose group name is Japanese ("ソフト表", in code page 932 the
  # trail bytes of two of its characters are the backslash's value).
  rm -rf "$e2e/japanese-product"
  cp -r "$build/demo-product" "$e2e/japanese-product"
  printf 'ID=DP\r\nGroup=%s\r\nClass=TallgroveDemoWindow\r\nExe=TGDEMO.EXE\r\n' \
    "$(printf '\x83\x5C\x83\x74\x83\x67\x95\x5C')" >"$e2e/japanese-product/INSTALL.INF"
  mkdir -p "$e2e/japanese"
  "$WINE" "$tool" build "$(winepath "$e2e/japanese-product")" \
    -o "$(winepath "$e2e/japanese/Setup.exe")" --stub "$(winepath "$stub")" | tr -d '\r'
  wine_stop_server
  test -s "$e2e/Setup.exe"
  test -s "$e2e/generated/Setup.exe"
  test -s "$e2e/japanese/Setup.exe"
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
elif [ "$scenario" = japanese ]; then
  # A Japanese system: the ANSI code page is 932 (double-byte).
  export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
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

if [ "$scenario" = japanese ]; then
  setup=$e2e/japanese/Setup.exe
fi
if [ "$scenario" = disk-full ]; then
  # A real small file system as drive R: of the prefix; it is unmounted
  # however the scenario ends.
  disk=$e2e/disk-full-mount
  mkdir -p "$disk"
  mountpoint -q "$disk" && umount "$disk"
  mount -t tmpfs -o size=96k tmpfs "$disk" || { echo "cannot mount a tmpfs (not root?)"; exit 1; }
  trap 'umount "$disk" 2>/dev/null || umount -l "$disk" 2>/dev/null || true' EXIT
  ln -sfn "$disk" "$prefix/dosdevices/r:"
fi
if [ "$scenario" = windows-tool ]; then
  # The tool as Windows publishers get it: the zip unpacked in a folder of
  # its own, run from another working folder without --stub; it finds the
  # Setup.exe beside itself, and its result installs like the fixture's.
  driven=fresh
  kit=$e2e/windows-tool
  rm -rf "$kit"
  mkdir -p "$kit/unzipped" "$kit/work"
  cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$kit/zip" >"$kit/cpack.txt" 2>&1 ||
    { cat "$kit/cpack.txt"; echo "cpack -G ZIP failed"; exit 1; }
  zip=$(ls "$kit"/zip/solidsetup-*.zip | head -n 1)
  (cd "$kit/unzipped" && cmake -E tar xf "$zip")
  top=$(ls -d "$kit"/unzipped/*/ | head -n 1)
  top=${top%/}
  for f in solidsetup.exe Setup.exe README.md; do
    test -s "$top/$f" || { echo "the zip has no $f"; exit 1; }
  done
  cp -a "$build/demo-product" "$kit/work/product"
  cd "$kit/work"
  tool_step() {  # tool_step WHAT ARGS...: runs the zip's tool, stops the scenario when it fails
    local what=$1
    shift
    if ! "$WINE" "$top/solidsetup.exe" "$@" >"$kit/step.txt" 2>&1; then
      tr -d '\r' <"$kit/step.txt"
      echo "the Windows tool failed to $what"
      exit 1
    fi
    tr -d '\r' <"$kit/step.txt"
  }
  tool_step "print its version" --version | tee "$kit/version.txt"
  grep -qiF "default stub: $(winepath "$top/Setup.exe")" "$kit/version.txt" ||
    { echo "--version does not name the Setup.exe beside the tool"; exit 1; }
  tool_step "build the setup" build product -o Setup.exe --quiet
  tool_step "test its setup" test Setup.exe | tail -n 1
  cmp "$kit/work/Setup.exe" "$e2e/Setup.exe" || { echo "differs from the fixture's Setup.exe"; exit 1; }
  setup=$kit/work/Setup.exe
  cd "$build"
fi
if [ "$scenario" = uninstall ]; then
  setup=$e2e/generated/Setup.exe
fi
status=0
"$here/../../scripts/with-display.sh" "$WINE" "$driver" "$driven" "$(winepath "$setup")" \
  "$(winepath "$build/demo-product")" "$(winepath "$out")" | tr -d '\r' || status=$?
if [ $status -eq 0 ] && [ "$driven" = fresh ]; then compare_with_plan || status=1; fi
wine_stop_server
[ $status -eq 0 ] && rm -rf "$prefix"
exit $status
