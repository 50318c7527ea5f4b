#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine with a prefix inside the build tree
# (beside the program's build folder unless WINEPREFIX is set), on the build's
# virtual display when its Wine session is running.
set -e
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
dir=$(cd "$(dirname "$1")" && pwd)
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
[ "$dir" = / ] && dir=$(cd "$(dirname "$1")" && pwd)
wine_env "${WINEPREFIX:-$dir/wineprefix}"
wine_session_display "$dir"
exec "$WINE" "$@"
