#!/usr/bin/env bash
# How long a save of notes.bin on one side takes to show up on the other through the two
# Syncthing devices of scripts/sync-pair.sh (watcher delay 1 s), alternately from A to B and
# from B to A. Each save is made as the program's save under Wine makes it: a new file beside
# notes.bin, the old one moved aside, the new one renamed in, the old one deleted.
#
#   scripts/bench-sync.sh [samples] [bytes]     # 10 samples of 24,000 bytes (about 100 notes)
set -euo pipefail
. "$(dirname "$0")/common.sh"

samples=${1:-10}
bytes=${2:-24000}
ensure_setup
dir=${MEMOVKY_BUILD_DIR:-$MEMOVKY_ROOT/build/x86_64}/sync-bench
rm -rf "$dir"
mkdir -p "$dir/shared-a/Memovky" "$dir/shared-b/Memovky"
trap '"$MEMOVKY_ROOT/scripts/sync-pair.sh" stop "$dir/pair"' EXIT
"$MEMOVKY_ROOT/scripts/sync-pair.sh" start "$dir/pair" "$dir/shared-a" "$dir/shared-b"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

save() {
  local folder=$1
  head -c "$bytes" /dev/urandom >"$folder/notes~new.tmp"
  [ ! -e "$folder/notes.bin" ] || mv "$folder/notes.bin" "$folder/notes~old.tmp"
  mv "$folder/notes~new.tmp" "$folder/notes.bin"
  rm -f "$folder/notes~old.tmp"
}

# Milliseconds from the end of a save in one folder until the other holds the same bytes; 60 s
# at most.
sample() {
  local from=$1 to=$2 start i
  save "$from"
  start=$(now_ms)
  for i in $(seq 1 6000); do
    cmp -s "$from/notes.bin" "$to/notes.bin" && { echo $(($(now_ms) - start)); return 0; }
    sleep 0.01
  done
  echo "lost"
}

summary() {
  local label=$1
  shift
  [ $# -gt 0 ] || return 0
  local sorted
  sorted=$(printf '%s\n' "$@" | sort -n)
  printf '%-6s median %5d ms, worst %5d ms (%d samples: %s)\n' "$label" \
    "$(echo "$sorted" | sed -n "$((($# + 1) / 2))p")" "$(echo "$sorted" | tail -n 1)" $# "$(echo $sorted)"
}

a=$dir/shared-a/Memovky b=$dir/shared-b/Memovky
log "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
sample "$a" "$b" >/dev/null   # notes.bin on both sides first
to_b=() to_a=() lost=0
for n in $(seq 1 "$samples"); do
  # A pause between saves, as between a user's changes: each sample starts with a quiet watcher.
  sleep 3
  if [ $((n % 2)) -eq 1 ]; then t=$(sample "$a" "$b") dir_label="A->B"; else t=$(sample "$b" "$a") dir_label="B->A"; fi
  printf '%2d %s %s ms\n' "$n" "$dir_label" "$t"
  if [ "$t" = lost ]; then lost=$((lost + 1)); continue; fi
  if [ "$dir_label" = "A->B" ]; then to_b+=("$t"); else to_a+=("$t"); fi
done
log "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
summary "A->B" "${to_b[@]}"
summary "B->A" "${to_a[@]}"
summary "all" "${to_b[@]}" "${to_a[@]}"
[ "$lost" -eq 0 ] || echo "$lost saves did not arrive within 60 s"
