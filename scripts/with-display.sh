#!/usr/bin/env bash
# Runs a command with an X display: the caller's, or a private Xvfb server
# that is stopped again afterwards. With SOLIDSETUP_WINDOW_MANAGER set to a
# window manager (openbox), it runs on the private display too, so that
# windows get their frames and title bars as a user sees them.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ -z "${SOLIDSETUP_PRIVATE_DISPLAY:-}" ]; then exec "$@"; fi
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n"
wm=
if [ -n "${SOLIDSETUP_WINDOW_MANAGER:-}" ]; then
  "$SOLIDSETUP_WINDOW_MANAGER" >/dev/null 2>&1 &
  wm=$!
  trap 'kill $wm 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
fi
"$@"
