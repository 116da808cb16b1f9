#!/usr/bin/env bash
# How long the program's window thread keeps a typing user waiting while notes are saved, on a
# slow data folder and on the local disk. Builds Memovky and tests/responsiveness_bench.exe,
# mounts a FUSE passthrough that waits before every file call (scripts/slow_folder.py) as drive
# S: of a fresh Wine prefix, and runs the benchmark on S: and on a folder of drive C:, in turn.
#   scripts/bench-slow-folder.sh [notes] [seconds] [runs]     default: 200 notes, 20 s, 2 runs
# SLOW_CALL_MS and SLOW_FLUSH_MS set the waits (default 30 and 100 ms), SLOW_CACHE_S how long
# the kernel keeps names and attributes of the slow folder (default 1 s; 0: never); SLOW_TRACE=1
# lists every call the slow folder served in slow-folder/fuse.log of the build folder. The table
# goes to standard output, progress and each run's details to standard error.
set -euo pipefail
. "$(dirname "$0")/common.sh"

notes=${1:-200} seconds=${2:-20} runs=${3:-2}
call_ms=${SLOW_CALL_MS:-30} flush_ms=${SLOW_FLUSH_MS:-100} cache_s=${SLOW_CACHE_S:-1}

# fuse3 brings fusermount; the passthrough is Debian's own Python with its fusepy.
ensure_setup python3-fusepy fuse3
build_in_fresh_session slow-folder responsiveness_bench

slow=$build/slow-folder
fuse_pid=
unmount_slow_folder() {
  if mountpoint -q "$slow/mount"; then
    fusermount -u "$slow/mount" 2>/dev/null || umount -l "$slow/mount" || true
  fi
  # Unmounted, it prints how many calls it served and ends.
  if [ -n "$fuse_pid" ]; then
    wait "$fuse_pid" 2>/dev/null || true
    grep -h 'file calls served' "$slow/fuse.log" >&2 || true
  fi
  return 0
}
# Wine first: a program still holding a file on the mount would keep it busy.
trap 'stop_wine_session "$session"; unmount_slow_folder' EXIT
trap 'exit 130' INT TERM
# A run that was killed may have left its mount behind, its server gone.
[ -d "$slow/mount" ] && { fusermount -u -z "$slow/mount" 2>/dev/null || true; }
rm -rf "$slow"
mkdir -p "$slow/backing" "$slow/mount"

/usr/bin/python3 "$MEMOVKY_ROOT/scripts/slow_folder.py" --call-ms "$call_ms" --flush-ms "$flush_ms" \
  --cache-s "$cache_s" ${SLOW_TRACE:+--trace} "$slow/backing" "$slow/mount" 2>"$slow/fuse.log" </dev/null &
fuse_pid=$!
for _ in $(seq 1 100); do
  mountpoint -q "$slow/mount" && break
  if ! kill -0 "$fuse_pid" 2>/dev/null; then
    cat "$slow/fuse.log" >&2
    echo "the slow folder could not be mounted" >&2
    exit 1
  fi
  sleep 0.1
done
mountpoint -q "$slow/mount" || { echo "the slow folder was not mounted in time" >&2; exit 1; }
ln -sfn "$slow/mount" "$WINEPREFIX/dosdevices/s:"
mkdir -p "$WINEPREFIX/drive_c/memovky-bench"

results=()
run_bench() {
  local name=$1 folder=$2 run=$3 load output
  load=$(cut -d' ' -f1 /proc/loadavg)
  log "run $run/$runs, $name: $folder, load $load"
  output=$(wine "$build/tests/responsiveness_bench.exe" "$folder" "$notes" "$seconds") || true
  printf '%s\n' "$output" | grep -v '^RESULT ' >&2
  local result
  # Wine's console writes line ends as CR LF.
  result=$(printf '%s\n' "$output" | tr -d '\r' | grep '^RESULT ' | tail -1 | cut -d' ' -f2-)
  results+=("$name|$run|$load|$(cut -d' ' -f1 /proc/loadavg)|${result:-failed}")
}

log "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
for run in $(seq 1 "$runs"); do
  run_bench "slow S:" 'S:\' "$run"
  run_bench "local C:" 'C:\memovky-bench' "$run"
done
log "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "Window thread's answers to WM_NULL every 5 ms while typing; $notes notes, $seconds s; times in ms."
echo "Slow folder: ${call_ms} ms per file call, ${flush_ms} ms per flush, names and attributes kept ${cache_s} s."
echo "pauses: only the probes sent while no key was being handled, where the saves are."
echo "own: the benchmark's own window on a thread without file work: waits of all of Wine."
echo "                          | all probes                      | pauses            | own         |"
printf '%-9s %3s %11s | %6s %7s %6s %4s %4s | %7s %4s %4s | %6s %4s | %7s %5s\n' folder run load \
  probes worst p99 '>50' '>100' worst '>50' '>100' worst '>100' written typed
for row in "${results[@]}"; do
  IFS='|' read -r name run load_before load_after result <<<"$row"
  if [ "$result" = failed ]; then
    printf '%-9s %3s %5s-%-5s  failed (see above)\n' "$name" "$run" "$load_before" "$load_after"
    continue
  fi
  read -r probes worst p99 over50 over100 pause_worst pause_over50 pause_over100 own_worst own_over100 \
    written pauses typed verdict <<<"$result"
  printf '%-9s %3s %5s-%-5s | %6s %7s %6s %4s %4s | %7s %4s %4s | %6s %4s | %3s/%-3s %5s%s\n' "$name" "$run" \
    "$load_before" "$load_after" "$probes" "$worst" "$p99" "$over50" "$over100" "$pause_worst" "$pause_over50" \
    "$pause_over100" "$own_worst" "$own_over100" "$written" "$pauses" "$typed" \
    "$([ "$verdict" = ok ] || echo '  FAULT')"
done
echo "load: 1-minute load average before and after; written: pauses after which notes.bin had"
echo "been written anew."
