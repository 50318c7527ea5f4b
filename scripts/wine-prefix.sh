#!/usr/bin/env bash
# Makes a Wine prefix, once, whose user folders (Desktop, Documents, ...) are
# real folders inside it. Wine links them to the host's home folder by
# default; tests and demonstrations must leave no trace outside the build tree.
# usage: wine-prefix.sh PREFIX
set -euo pipefail
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/system.reg" ]; then
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d WINEARCH=win64 \
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
fi
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm "$link"
    mkdir "$link"
  fi
done
