#!/usr/bin/env bash
# Starts the real program in a Wine virtual desktop on a private X server, opens each of its
# windows with real input and writes their pictures to docs/pictures (or the given folder).
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
out=$(realpath -m "${1:-$MEMOVKY_ROOT/docs/pictures}")
mkdir -p "$out"
build=${MEMOVKY_BUILD_DIR:-$MEMOVKY_ROOT/build/x86_64}
configure_tree x86_64 "$build" -DBUILD_TESTING=ON
cmake --build "$build" -j"$(nproc)" --target take_pictures

session=$build/pictures-session
rm -rf "$session"
start_wine_session "$session" "$session/prefix"
trap 'stop_wine_session "$session"' EXIT
wine "$build/tests/take_pictures.exe" "$out"
