#!/usr/bin/env bash
# Runs the 32-bit build under test. This machine runs no 32-bit code natively, so the 32-bit half
# of Wine 10 runs under qemu-i386 in a Debian trixie chroot (scripts/win32-env.sh sets it up once).
#
#   scripts/test32.sh                      build, then the environment checks (threads, crashes),
#                                          unit_tests, window_tests and the smoke test of the
#                                          release ZIP's Memovky.exe
#   scripts/test32.sh setup                only set up the chroot and its Wine prefix
#   scripts/test32.sh run PROGRAM [ARGS]   one program in a fresh session, for example
#       scripts/test32.sh run build/i686-tests/tests/window_tests.exe --gtest_filter='Note*'
#       scripts/test32.sh run build/i686/Memovky.exe
#   scripts/test32.sh shell                a shell in a fresh session; its wine is the chroot's
#
# Each test program's output goes to build/i686-tests/test32-logs/NAME.log; the last line says
# what passed. Under QEMU 10 a 32-bit process starts in seconds.
set -euo pipefail
. "$(dirname "$0")/common.sh"
. "$(dirname "$0")/win32-env.sh"

if [ "$(id -u)" -ne 0 ]; then
  exec sudo -E "$0" "$@"
fi
if [ -z "${MEMOVKY_WIN32_NS:-}" ]; then
  ensure_setup icoutils unzip
  MEMOVKY_WIN32_NS=1 exec unshare --mount --propagation private -- "$0" "$@"
fi

# All of it is read before it runs: a long run is not disturbed by edits to this file.
main() {
  trap 'exit 130' INT TERM   # so that the session is ended on the way out
  command=${1:-test}
  [ $# -gt 0 ] && shift
  seconds_since() { echo $(($(date +%s) - $1)); }

  ensure_chroot_packages
  mount_chroot
  ensure_binfmt   # registrations end with a reboot
  # wine, wineserver and wineboot now mean the chroot's, for these scripts and for CTest alike.
  export PATH=$MEMOVKY_ROOT/scripts/win32:$PATH MEMOVKY_WIN32_CHROOT=$WIN32_CHROOT

  # The first prefix takes minutes (wineboot's 32-bit half runs emulated): it is made once, kept
  # beside the chroot and copied for every session.
  template=$WIN32_PREFIX
  wine_version=$(in_chroot /usr/lib/wine/wine64 --version)
  if [ "$(cat "$template/.memovky-wine" 2>/dev/null)" != "$wine_version" ]; then
    log "creating the Wine prefix ($wine_version; minutes under emulation)"
    started=$(date +%s)
    find "$template" -mindepth 1 -delete   # a mount point: emptied, not removed
    rm -rf "$MEMOVKY_WIN32_ROOT/prefix-session"
    start_wine_session "$MEMOVKY_WIN32_ROOT/prefix-session" "$template"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    stop_wine_session "$MEMOVKY_WIN32_ROOT/prefix-session"
    echo "$wine_version" >"$template/.memovky-wine"
    log "prefix ready in $(seconds_since "$started") s"
  fi

  # A fresh session in DIR (X server, wineserver, desktop) on the prefix PREFIX, which is made a
  # copy of the kept one first when missing; ended when this script exits.
  start_session() {
    session=$1
    local prefix=$2
    rm -rf "$session"
    mkdir -p "$session"
    [ -d "$prefix" ] || cp -a "$template" "$prefix"
    start_wine_session "$session" "$prefix"
    trap end_session EXIT
    # Every poll of the tests waits this many times longer than natively.
    export MEMOVKY_WAIT_FACTOR=${MEMOVKY_WAIT_FACTOR:-10}
  }
  # Ends the session even when its wineserver no longer answers: then every process of the
  # session (known by its WINEPREFIX) is killed.
  end_session() {
    timeout 20 wineserver -k >/dev/null 2>&1 || true
    local pid
    for pid in $(grep -lzx "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
      kill -9 "$pid" 2>/dev/null || true
    done
    stop_wine_session "$session"
    trap - EXIT
  }

  case $command in
    setup)
      exit 0 ;;
    run)
      [ $# -gt 0 ] || { echo "usage: $0 run PROGRAM [ARGS...]" >&2; exit 2; }
      rm -rf "$MEMOVKY_ROOT/build/i686-run-prefix"
      start_session "$MEMOVKY_ROOT/build/i686-run-session" "$MEMOVKY_ROOT/build/i686-run-prefix"
      wine "$@"
      exit ;;
    shell)
      rm -rf "$MEMOVKY_ROOT/build/i686-run-prefix"
      start_session "$MEMOVKY_ROOT/build/i686-run-session" "$MEMOVKY_ROOT/build/i686-run-prefix"
      log "session in $session, DISPLAY=$DISPLAY; wine is the chroot's; exit the shell to end it"
      bash -i
      exit ;;
    test) ;;
    *)
      echo "unknown command: $command (setup, run, shell, or nothing to run the tests)" >&2
      exit 2 ;;
  esac

  # The release package (as CI made it before), the 32-bit test programs, and the 64-bit end-to-end
  # tests, which drive the release's Memovky.exe in the smoke test.
  started=$(date +%s)
  "$MEMOVKY_ROOT/scripts/release.sh"
  zip=${MEMOVKY_RELEASE_DIR:-$MEMOVKY_ROOT/build/i686}/Memovky-1.5-win32.zip
  build=$MEMOVKY_ROOT/build/i686-tests
  configure_tree i686 "$build" -DBUILD_TESTING=ON
  cmake --build "$build" -j"$(nproc)" --target unit_tests window_tests crash_on_purpose thread_identity
  driver_build=${MEMOVKY_BUILD_DIR:-$MEMOVKY_ROOT/build/x86_64}
  configure_tree x86_64 "$driver_build" -DBUILD_TESTING=ON
  cmake --build "$driver_build" -j"$(nproc)" --target e2e_tests
  log "built in $(seconds_since "$started") s"

  logs=$build/test32-logs
  rm -rf "$logs" "$build/test-prefix"
  mkdir -p "$logs"
  results=()
  failed=0
  # run_step NAME LIMIT COMMAND...: in a fresh session on the run's prefix (a wedged wineserver
  # costs only this step) and at most LIMIT seconds; output to the log, a line for the summary.
  run_step() {
    local name=$1 limit=$2 begun code=0 passed
    shift 2
    log "$name (log: $logs/$name.log)"
    begun=$(date +%s)
    start_session "$build/test-session" "$build/test-prefix"
    timeout -k 10 "$limit" "$@" >"$logs/$name.log" 2>&1 || code=$?
    end_session
    passed=$(grep -o '\[  PASSED  \] [0-9]* test' "$logs/$name.log" | tail -n1 | grep -o '[0-9]*' || true)
    if [ "$code" -eq 0 ]; then
      results+=("$name: passed${passed:+ ($passed tests)} in $(seconds_since "$begun") s")
    else
      failed=1
      results+=("$name: FAILED (exit code $code$([ "$code" -eq 124 ] && echo ", out of time")) in $(seconds_since "$begun") s")
      grep -E '\[  FAILED  \]|Unhandled' "$logs/$name.log" | sort -u | head -n 40 >&2 || true
    fi
  }

  # The limits are ten times what a healthy run takes.
  tests=$build/tests
  run=$MEMOVKY_ROOT/scripts/wine-run.sh
  run_step thread_identity 300 "$run" "$tests/thread_identity.exe"
  run_step unit_tests 300 "$run" "$tests/unit_tests.exe" --gtest_color=no
  run_step window_tests 600 "$run" "$tests/window_tests.exe" --gtest_color=no
  run_step crash_is_a_failure 300 "$MEMOVKY_ROOT/tests/environment/expect_crash.sh" "$run" "$tests/crash_on_purpose.exe"

  # The smoke test of the release: the ZIP's own Memovky.exe, driven by the 64-bit end-to-end test.
  smoke=$build/release
  rm -rf "$smoke"
  mkdir -p "$smoke"
  unzip -q "$zip" -d "$smoke"
  windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }
  run_step release_smoke 600 env MEMOVKY_PROGRAM="$smoke/Memovky.exe" \
    "$run" "$driver_build/tests/e2e_tests.exe" --gtest_color=no \
    --gtest_filter=PersistenceE2eTest.StoredNotesComeBackByteForByteBesideATypedNewNote \
    --gtest_output="xml:$(windows_path "$logs/release_smoke.xml")"
  # The program it drove must be the ZIP's, not the 64-bit one built beside the test.
  if ! grep -qiF "name=\"program\" value=\"$(windows_path "$smoke/Memovky.exe")\"" "$logs/release_smoke.xml" 2>/dev/null; then
    failed=1
    results+=("release_smoke: did not drive $smoke/Memovky.exe")
  fi

  log "32-bit build under test:"
  printf '   %s\n' "${results[@]}" >&2
  exit "$failed"
}
main "$@"
