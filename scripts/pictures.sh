#!/usr/bin/env bash
# Starts the real program in a Wine virtual desktop on a private X server, opens each of its
# windows with real input and writes their pictures to docs/pictures (or the given folder).
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
out=$(realpath -m "${1:-$MEMOVKY_ROOT/docs/pictures}")
mkdir -p "$out"
build_in_fresh_session pictures take_pictures
wine "$build/tests/take_pictures.exe" "$out"
