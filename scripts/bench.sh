#!/usr/bin/env bash
# Builds Memovky and its benchmark and runs the benchmark under Wine on a private X server, in a
# Wine virtual desktop (so no window manager is waited for) with a fresh prefix in the build tree.
# Arguments go to the benchmark: [runs] [note counts...]; by default 5 runs of 0, 100 and 1000.
# The table goes to standard output, progress to standard error.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_setup
build_in_fresh_session bench memovky_bench
trap 'exit 130' INT TERM

# Other work on the machine shows in the figures: say how busy it was.
log "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
wine "$build/tests/memovky_bench.exe" "$@"
log "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
