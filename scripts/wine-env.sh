# The Wine environment of every script and test that runs Windows programs,
# kept in one place. Sourced, not run:  . scripts/wine-env.sh
#   wine_env PREFIX           the prefix (made on first use) and Wine's settings
#   wine_session_display DIR  the virtual display of the build DIR's Wine
#                             session (wine-session.sh), when one is running
#   wine_stop_server          stops WINEPREFIX's wine server and waits until
#                             it has gone
#   wine_unmanaged_windows    tells WINEPREFIX's Wine to leave its windows to
#                             no window manager (for virtual displays that
#                             have none)
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
wine_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

wine_env() {
  export WINEPREFIX=$1
  # Wine's own diagnostics off; no mirroring of shortcuts into the host's menus.
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
  export WINEARCH=win64
  [ -f "$WINEPREFIX/system.reg" ] || "$wine_scripts/wine-prefix.sh" "$WINEPREFIX"
}

wine_session_display() {
  local file=$1/wine-session/display
  if [ -f "$file" ]; then
    DISPLAY=$(cat "$file")
    export DISPLAY
  fi
}

# Wine names a server's socket after its prefix's device and inode number. A
# prefix used (or made, reusing a freed inode) just after its server was told
# to stop could reach that server while it shuts down and fail at once, so
# the stop waits for the server to exit.
wine_stop_server() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
}

# Wine hands a window with a title bar to the window manager and, when it
# hides one, waits up to two seconds for the manager to confirm. A virtual
# display without a manager never does, so every message box and dialog a
# test closes would cost those two seconds; unmanaged windows skip the wait.
wine_unmanaged_windows() {
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
}
