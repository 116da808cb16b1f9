# Shared helpers of the set-up, build, run and test scripts. Sourced, not run.

MEMOVKY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

MEMOVKY_PACKAGES=(
  cmake make
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest
  wine wine64 fonts-wine
  xvfb xauth xdotool x11-utils imagemagick
  locales
  syncthing curl
)

log() { printf '== %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs only what is missing, so a second run costs nothing.
ensure_packages() {
  local missing=() pkg
  for pkg in "${MEMOVKY_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}

# Wine shows Czech only with code page 1250, which it takes from a Czech locale.
ensure_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'cs_CZ.utf8'; then
    log "generating the cs_CZ.UTF-8 locale"
    as_root sed -i 's/^# *\(cs_CZ.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^cs_CZ.UTF-8 UTF-8' /etc/locale.gen || echo 'cs_CZ.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
}

ensure_setup() {
  ensure_packages "$@"
  ensure_locale
}

# configure_tree <arch: x86_64|i686> <build dir> [cmake options...]
configure_tree() {
  local arch=$1 dir=$2
  shift 2
  cmake -S "$MEMOVKY_ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$MEMOVKY_ROOT/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

wine_environment() {
  export WINEPREFIX=$1
  export WINEDEBUG=${WINEDEBUG:--all}
  # No crash debugger: a crashing program must end at once and be seen as failed, not wait for
  # someone to attach winedbg.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8
}

# Starts a private X server on the first free display; prints its number.
start_xvfb() {
  local log_file=$1 size=${2:-1024x768x24} n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    setsid Xvfb ":$n" -screen 0 "$size" -nolisten tcp >"$log_file" 2>&1 < /dev/null &
    echo $! >"$log_file.pid"
    local i
    for i in $(seq 1 100); do
      xdpyinfo -display ":$n" >/dev/null 2>&1 && { echo "$n"; return 0; }
      sleep 0.1
    done
    return 1
  done
  return 1
}

# One Wine command of a set-up, its output in LOG. A failure names the command and shows the
# output, so that a CI log says which step failed and why, and is tried once more: a fresh CI
# machine once failed here (exit code 53) where no other did. (No wait for the wineserver: the
# session's own one stays.)
wine_step() {
  local log_file=$1 status=0
  shift
  "$@" >"$log_file" 2>&1 </dev/null || status=$?
  [ "$status" -eq 0 ] && return 0
  log "'$*' ended with exit code $status; its output ($log_file):"
  tail -n 20 "$log_file" >&2
  status=0
  "$@" >>"$log_file" 2>&1 </dev/null || status=$?
  [ "$status" -eq 0 ] && { log "'$*' passed at the second try"; return 0; }
  log "'$*' failed again with exit code $status"
  tail -n 20 "$log_file" >&2
  return "$status"
}

# Creates a Wine prefix once; later calls find it ready.
ensure_prefix() {
  local prefix=$1
  if [ ! -f "$prefix/system.reg" ]; then
    log "creating Wine prefix $prefix"
    mkdir -p "$prefix"
    wine_step "$prefix.init.log" wineboot -i
    wineserver -w
  fi
  # Debian's Wine does not look into its own font folder: without these, dialogs get a wider
  # font than "MS Sans Serif" and caption buttons lose their symbols (Marlett).
  local fonts=$prefix/drive_c/windows/Fonts font
  if [ -d /usr/share/wine/fonts ] && [ ! -e "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts"
    for font in /usr/share/wine/fonts/*; do
      ln -sf "$font" "$fonts/"
    done
  fi
}

# A complete session for running the program or its tests: private X server, the given Wine
# prefix (created when missing) shown as a 1024 x 768 virtual desktop with a taskbar and
# notification area, and one persistent wineserver. Exports DISPLAY and the Wine variables;
# stop_wine_session ends it.
start_wine_session() {
  local dir=$1 prefix=$2
  mkdir -p "$dir"
  local display
  display=$(start_xvfb "$dir/xvfb.log") || { echo "cannot start Xvfb" >&2; return 1; }
  export DISPLAY=":$display"
  echo "$DISPLAY" >"$dir/display"
  wine_environment "$prefix"
  ensure_prefix "$prefix"
  # Every program shares one virtual desktop, as on Windows; Wine then draws the frames itself
  # and never waits for a window manager.
  wine_step "$dir/desktop-setting.log" wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f
  wine_step "$dir/desktop-size.log" wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  # Long-lived Wine processes inherit the output of whoever starts them: start them all here,
  # writing to files, or they would hold a test's output pipe open after the test ends.
  setsid wineserver -p -f >"$dir/wineserver.log" 2>&1 < /dev/null &
  wine_step "$dir/wineboot.log" wine wineboot
  setsid wine explorer /desktop=Default,1024x768 >"$dir/desktop.log" 2>&1 < /dev/null &
  # Built once, beside the build trees, and again only when its source changes.
  local keeper=$MEMOVKY_ROOT/build/session_keeper.exe keeper_source=$MEMOVKY_ROOT/scripts/session_keeper.c
  if [ ! "$keeper" -nt "$keeper_source" ]; then
    mkdir -p "$(dirname "$keeper")"
    x86_64-w64-mingw32-gcc-posix -O2 -mwindows -o "$keeper" "$keeper_source"
  fi
  setsid wine "$keeper" >"$dir/keeper.log" 2>&1 < /dev/null &
  local i
  for i in $(seq 1 100); do
    xdotool search --name 'Wine desktop' >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the Wine desktop did not appear" >&2
  return 1
}

# A helper's start that its caller, killed, left running must end before the helper is stopped:
# whatever it started afterwards would be left behind. The start notes its pid in a file; the
# stop ends that process first, while it is still the start of that script.
note_start() { echo $$ >"$1"; }
end_start() {
  local file=$1 script=$2 pid i
  pid=$(cat "$file" 2>/dev/null) || return 0
  if [ "$pid" != $$ ] && tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -q "$script start "; then
    kill "$pid" 2>/dev/null || true
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -f "$file"
}

stop_wine_session() {
  local dir=$1
  local pid
  wineserver -k >/dev/null 2>&1 || true
  # Also called for what a killed run left behind: only while the pid is still its Xvfb.
  pid=$(cat "$dir/xvfb.log.pid" 2>/dev/null) || return 0
  tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -q '^Xvfb ' && kill "$pid" 2>/dev/null
  return 0
}

# Configures and builds the test tree (all of it, or the given target) in $build and starts a
# fresh session in $build/NAME-session, ended when the calling script exits. Sets build and
# session for the caller.
build_in_fresh_session() {
  local name=$1 target=${2:-}
  build=${MEMOVKY_BUILD_DIR:-$MEMOVKY_ROOT/build/x86_64}
  configure_tree x86_64 "$build" -DBUILD_TESTING=ON
  cmake --build "$build" -j"$(nproc)" ${target:+--target "$target"}
  session=$build/$name-session
  rm -rf "$session"
  start_wine_session "$session" "$session/prefix"
  trap 'stop_wine_session "$session"' EXIT
}

# Ends the sync tests' second session and Syncthing devices (tests/sync), as far as they run.
stop_sync_test() {
  "$MEMOVKY_ROOT/scripts/peer.sh" stop "$build/sync-test/peer"
  "$MEMOVKY_ROOT/scripts/sync-pair.sh" stop "$build/sync-test/pair"
}
