#!/usr/bin/env bash
# Sets up what is missing, builds Memovky and its tests, and runs the whole suite under Wine
# on a private X server, in a fresh Wine prefix inside the build tree.
# Extra arguments go to ctest (for example: -R unit -V).
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
build=${MEMOVKY_BUILD_DIR:-$MEMOVKY_ROOT/build/x86_64}
configure_tree x86_64 "$build" -DBUILD_TESTING=ON
cmake --build "$build" -j"$(nproc)"

session=$build/test-session
rm -rf "$session"
start_wine_session "$session" "$session/prefix"
trap 'stop_wine_session "$session"' EXIT

ctest --test-dir "$build" --output-on-failure "$@"
