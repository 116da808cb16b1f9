#!/usr/bin/env bash
# Builds the 32-bit release and packs the portable ZIP (build/i686/Memovky-1.5-win32.zip),
# then reads the package back: its files, and the executable's imports, version record,
# manifest and icons.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup icoutils unzip
build=${MEMOVKY_RELEASE_DIR:-$MEMOVKY_ROOT/build/i686}
configure_tree i686 "$build" -DBUILD_TESTING=OFF
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$build/Memovky-1.5-win32.zip
"$MEMOVKY_ROOT/scripts/check-release.sh" "$zip"
log "release: $zip"
