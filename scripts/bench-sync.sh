#!/usr/bin/env bash
# How long a change made by the program on one computer takes to show in the program on the
# other, through two real Syncthing devices (scripts/sync-pair.sh, watcher delay 1 s): side B's
# program moves a mark, and the time runs from the moment its notes.bin is written until side A's
# program shows the mark at its new place. Builds and runs tests/sync/sync_bench.cpp in a fresh
# session; the second session and the devices are started and stopped by it.
#
#   scripts/bench-sync.sh [changes]     # 20 changes
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
build_in_fresh_session bench-sync sync_bench
stop_sync_test
trap 'stop_sync_test; stop_wine_session "$session"' EXIT
wine "$build/tests/sync_bench.exe" "${1:-20}"
