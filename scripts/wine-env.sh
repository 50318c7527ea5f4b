# The Wine environment of every script and test that runs Windows programs,
# kept in one place. Sourced, not run:  . scripts/wine-env.sh
#   wine_env PREFIX           the prefix (made on first use) and Wine's settings
#   wine_session_display DIR  the virtual display of the build DIR's Wine
#                             session (wine-session.sh), when one is running
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
