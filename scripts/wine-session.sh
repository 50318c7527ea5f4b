#!/usr/bin/env bash
# Starts or stops the Wine session that the Windows tests of a build share:
# the build's Wine prefix, one persistent wine server for it (a test that
# starts while the server of the one before is shutting down would fail to
# connect), Wine's own services started detached (so that they hold no test's
# output open), and a private virtual display. The display's name is kept in
# BUILD_DIR/wine-session/display, where wine-env.sh finds it. CTest runs this
# as the fixture of every Windows test.
# usage: wine-session.sh start|stop BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
action=$1
build=$(cd "$2" && pwd)
session=$build/wine-session

stop() {
  WINEPREFIX=$build/wineprefix wine_stop_server
  if [ -f "$session/xvfb.pid" ]; then
    kill "$(cat "$session/xvfb.pid")" 2>/dev/null || true
  fi
  rm -rf "$session"
}

start() {
  stop
  mkdir -p "$session"
  wine_env "$build/wineprefix"
  # A free display number; another server may take the same one at the same
  # moment, so a failed start tries the next.
  local n=90
  for _ in $(seq 20); do
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$session/xvfb.pid"
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null; then
      echo ":$n" >"$session/display"
      break
    fi
    n=$((n + 1))
  done
  [ -f "$session/display" ] || { echo "wine-session: no virtual display could be started" >&2; exit 1; }
  export DISPLAY
  DISPLAY=$(cat "$session/display")
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
  wine_unmanaged_windows
  echo "Wine session: prefix $WINEPREFIX, display $DISPLAY"
}

case $action in
  start) start ;;
  stop) stop ;;
  *) echo "usage: wine-session.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
