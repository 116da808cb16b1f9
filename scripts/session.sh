#!/usr/bin/env bash
# For working on the tests by hand: starts a test session like scripts/test.sh does (private
# X server, Wine prefix with virtual desktop, persistent wineserver) in the given folder and
# opens a shell in it; the session ends with the shell. Example, inside the shell:
#   wine build/x86_64/tests/window_tests.exe --gtest_filter='Note*'
set -euo pipefail
. "$(dirname "$0")/common.sh"
dir=$(realpath -m "${1:-$MEMOVKY_ROOT/build/manual-session}")
rm -rf "$dir"
start_wine_session "$dir" "$dir/prefix"
trap 'stop_wine_session "$dir"' EXIT
log "session in $dir, DISPLAY=$DISPLAY; exit the shell to end it"
bash -i
