#!/usr/bin/env bash
# A second complete test session beside the one the tests run in, as a second computer would
# be: its own X server, Wine prefix, persistent wineserver, virtual desktop and keeper. Tests
# start, use and stop it from inside their own session, through host commands.
#
#   scripts/peer.sh start <dir>                          # a fresh session in <dir>
#   scripts/peer.sh run <dir> <program.exe> [args...]    # runs it there; its standard output
#   scripts/peer.sh stop <dir>                           # ends everything the session runs
set -euo pipefail
# Called from a Windows program, the environment is that of the caller's session.
export PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin
unset WINEPREFIX DISPLAY WINESERVER WINELOADER WINEDLLPATH
. "$(dirname "$0")/common.sh"

usage() {
  echo "usage: $0 start <dir> | run <dir> <program> [args...] | stop <dir>" >&2
  exit 2
}

stop_peer() {
  local dir=$1
  end_start "$dir/starting.pid" peer.sh
  [ -d "$dir/prefix" ] || return 0
  wine_environment "$dir/prefix"
  stop_wine_session "$dir"
}

start_peer() {
  local dir=$1
  # Leftovers of a run that was killed, found by what that run left in the folder.
  stop_peer "$dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  note_start "$dir/starting.pid"
  if ! start_wine_session "$dir" "$dir/prefix" >"$dir/start.log" 2>&1; then
    echo "peer.sh: the session did not start; see $dir" >&2
    stop_peer "$dir"
    return 1
  fi
  rm -f "$dir/starting.pid"
  log "peer session on $DISPLAY"
}

run_in_peer() {
  local dir=$1
  shift
  [ -f "$dir/display" ] || { echo "peer.sh: no session in $dir" >&2; return 1; }
  export DISPLAY
  DISPLAY=$(cat "$dir/display")
  wine_environment "$dir/prefix"
  exec wine "$@"
}

case "${1:-}" in
  start) [ $# -eq 2 ] || usage; start_peer "$(realpath -m "$2")" ;;
  run) [ $# -ge 3 ] || usage; dir=$(realpath -m "$2"); shift 2; run_in_peer "$dir" "$@" ;;
  stop) [ $# -eq 2 ] || usage; stop_peer "$(realpath -m "$2")" ;;
  *) usage ;;
esac
