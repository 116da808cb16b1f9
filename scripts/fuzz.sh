#!/usr/bin/env bash
# Builds the notes.bin decoder natively with libFuzzer, AddressSanitizer and UBSan, and feeds it
# for a bounded time, starting from the seed files in tests/fuzz/corpus.
# FUZZ_SECONDS sets the time (default 60); extra arguments go to the fuzzer.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages clang libclang-rt-14-dev
out=${MEMOVKY_FUZZ_DIR:-$MEMOVKY_ROOT/build/fuzz}
mkdir -p "$out/corpus" "$out/artifacts"
log "building the decoder fuzzer"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I "$MEMOVKY_ROOT" \
  "$MEMOVKY_ROOT/tests/fuzz/decode_notes_fuzz.cpp" "$MEMOVKY_ROOT/storage/note_codec.cpp" \
  -o "$out/decode_notes_fuzz"

# New inputs go to the build folder; the seed files in the tree stay as they are.
log "fuzzing the decoder for ${FUZZ_SECONDS:-60} s"
"$out/decode_notes_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/" "$@" "$out/corpus" "$MEMOVKY_ROOT/tests/fuzz/corpus"
