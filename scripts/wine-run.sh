#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine with a prefix inside the build tree
# (beside the program's build folder unless WINEPREFIX is set).
set -e
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(cd "$(dirname "$1")" && pwd)
  export WINEPREFIX="$dir/wineprefix"
fi
[ -f "$WINEPREFIX/system.reg" ] || "$here/wine-prefix.sh" "$WINEPREFIX"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
export WINEARCH=win64
exec /usr/lib/wine/wine64 "$@"
