#!/usr/bin/env bash
# Sets up what is missing, builds Memovky.exe and starts it under Wine, in the background.
# On your X display when there is one; otherwise on a private Xvfb inside a Wine virtual
# desktop (so the notification area shows), and it tells you how to take a look.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
build=${MEMOVKY_BUILD_DIR:-$MEMOVKY_ROOT/build/x86_64}
configure_tree x86_64 "$build"
cmake --build "$build" -j"$(nproc)" --target Memovky

# The notes (c:\notes.bin by default) and settings live in this prefix, outside the build tree.
prefix=${MEMOVKY_WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/memovky/wineprefix}
wine_environment "$prefix"
state=$(dirname "$prefix")
mkdir -p "$state"

desktop=()
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  display=$(start_xvfb "$state/xvfb.log") || { echo "cannot start Xvfb" >&2; exit 1; }
  export DISPLAY=":$display"
  desktop=(explorer "/desktop=Memovky,1024x768")
fi
ensure_prefix "$prefix"

setsid nohup wine "${desktop[@]}" "$build/Memovky.exe" >"$state/memovky.log" 2>&1 < /dev/null &
log "Memovky.exe runs (display $DISPLAY, Wine prefix $prefix); its icon is in the notification area."
if [ ${#desktop[@]} -gt 0 ]; then
  log "no X display was given: to see it, DISPLAY=$DISPLAY import -window root memovky.png"
fi
log "to end it: use Konec in its tray menu, or WINEPREFIX=$prefix wineserver -k"
