#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, turns the demo
# product into Setup.exe (the shipped i686 one and a win64 one), runs the
# win64 Setup.exe under Wine on a virtual display, accepts the defaults, and
# prints what the installation left: files, registry records and shortcuts.
# Then it uninstalls a setup whose product had no uninstaller of its own.
# Screenshots (taken with a window manager, so every window has its frame and
# title bar) go to build/demo/.
#
# usage: scripts/demo.sh [--interactive]
#   --interactive  with a real display (DISPLAY set): open the win64 Setup.exe
#                  there and click through it by hand instead.
set -euo pipefail
cd "$(dirname "$0")/.."
interactive=0
[ "${1:-}" = --interactive ] && interactive=1

scripts/bootstrap.sh imagemagick openbox
scripts/build.sh native win32 win64
tool=build/native/solidsetup
demo=build/demo
mkdir -p "$demo"

echo
echo "== Building the demo product's setup programs"
"$tool" build build/win32/demo-product -o "$demo/Setup.exe" --stub build/win32/Setup.exe
"$tool" build build/win64/demo-product -o "$demo/Setup-win64.exe" --stub build/win64/Setup.exe
echo
echo "\$ solidsetup list $demo/Setup.exe"
"$tool" list "$demo/Setup.exe"
echo
echo "\$ solidsetup test $demo/Setup.exe"
"$tool" test "$demo/Setup.exe"

if [ $interactive -eq 1 ]; then
  [ -n "${DISPLAY:-}" ] || { echo "demo: --interactive needs a display (DISPLAY is not set)" >&2; exit 2; }
  . scripts/wine-env.sh
  wine_env "$PWD/$demo/wineprefix"
  echo "== Running Setup-win64.exe on $DISPLAY (Wine prefix $WINEPREFIX)"
  "$WINE" "$demo/Setup-win64.exe"
  exit 0
fi

echo
echo "== Installing the demo product under Wine (win64 Setup.exe, defaults accepted)"
e2e=tests/e2e/run-scenario.sh
args=(build/win64 build/win64/tests-e2e/setup_driver.exe build/win64/solidsetup.exe build/win64/Setup.exe)
export SOLIDSETUP_WINDOW_MANAGER=openbox SOLIDSETUP_PRIVATE_DISPLAY=1
bash "$e2e" prepare "${args[@]}" >/dev/null
bash "$e2e" fresh "${args[@]}"
echo
echo "== The German dialog, the language menu, and the generated uninstaller (screenshots)"
for scenario in german languages uninstall; do
  bash "$e2e" "$scenario" "${args[@]}" | tail -1
done
for shot in fresh/dialog-en fresh/success-en german/dialog-de german/success-de languages/menu-en uninstall/uninstall-en; do
  bmp=build/win64/e2e/out-${shot%/*}/${shot#*/}.bmp
  if [ -f "$bmp" ]; then
    crop=()
    # The menu's screenshot is of the whole screen: keep the dialog around it.
    [ "${shot#*/}" = menu-en ] && crop=(-crop 624x390+200+189 +repage)
    convert "$bmp" "${crop[@]}" "$demo/${shot#*/}.png"
    echo "screenshot: $demo/${shot#*/}.png"
  fi
done
