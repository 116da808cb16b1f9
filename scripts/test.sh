#!/usr/bin/env bash
# Sets up what is missing, builds Memovky and its tests, and runs the whole suite under Wine
# on a private X server, in a fresh Wine prefix inside the build tree.
# Extra arguments go to ctest (for example: -R unit -V).
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
build_in_fresh_session test

ctest --test-dir "$build" --output-on-failure "$@"
