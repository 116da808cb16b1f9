#!/usr/bin/env bash
# Sets up what is missing, builds Memovky and its tests, and runs the whole suite under Wine
# on a private X server, in a fresh Wine prefix inside the build tree.
# Extra arguments go to ctest (for example: -R unit -V).
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
build_in_fresh_session test
# The sync tests' second session and Syncthing devices end with the run, also when a test was
# killed; what a killed run left is ended first.
stop_sync_test
trap 'stop_sync_test; stop_wine_session "$session"' EXIT

ctest --test-dir "$build" --output-on-failure "$@"
