#!/usr/bin/env bash
# Two Syncthing devices on this machine that share one folder over loopback, as two computers
# whose data folder a sync engine carries. Nothing leaves 127.0.0.1: discovery, relays, NAT,
# STUN, usage and crash reports and upgrades are off, and each device is given the other's address.
#
#   scripts/sync-pair.sh start <dir> <folder A> <folder B>
#   scripts/sync-pair.sh stop <dir>
#
# start returns once both devices run, are connected to each other and have scanned the folder;
# <dir>/pair.env then holds their ports and API keys (A_GUI, A_APIKEY, A_PORT, B_...). Each
# device's home and log (syncthing.log) are in <dir>/a and <dir>/b. The shared folders get
# Syncthing's marker (.stfolder); put the program's data folder in a subfolder of each. Each
# device's HOME is its own folder there, whatever the caller's is (CI may have none).
set -euo pipefail
# Called from a Windows program, the environment is that of the caller's Wine session.
export PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin
. "$(dirname "$0")/common.sh"

FOLDER_ID=memovky
export STNODEFAULTFOLDER=1 STNOUPGRADE=1 STNORESTART=1

usage() {
  echo "usage: $0 start <dir> <folder A> <folder B> | stop <dir>" >&2
  exit 2
}

# A TCP port on 127.0.0.1 that nothing listens on and that is not among the ones given; below
# the range the system hands out to outgoing connections.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 12000))
    case " $* " in *" $port "*) continue ;; esac
    (: </dev/tcp/127.0.0.1/$port) 2>/dev/null || { echo "$port"; return; }
  done
}

# Processes of the device whose home is in side_dir: Syncthing runs as a monitor and the
# process it starts, both in the group that setsid made. Only those whose command line names
# that home count, as pids are reused.
device_pids() {
  local side_dir=$1 group pid stat
  group=$(cat "$side_dir/pid" 2>/dev/null) || return 0
  for pid in /proc/[0-9]*; do
    read -r stat 2>/dev/null <"$pid/stat" || continue
    stat=${stat##*) }
    set -- $stat
    [ "$3" = "$group" ] || continue
    tr '\0' ' ' 2>/dev/null <"$pid/cmdline" | grep -q "syncthing.*--home=$side_dir/home" && echo "${pid#/proc/}"
  done
  return 0
}

# The process exists and has not ended (a child not yet reaped is still listed).
running() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

stop_device() {
  local side_dir=$1 pids i
  pids=$(device_pids "$side_dir")
  if [ -n "$pids" ]; then
    kill $pids 2>/dev/null || true
    for i in $(seq 1 100); do
      [ -n "$(device_pids "$side_dir")" ] || break
      sleep 0.1
    done
    pids=$(device_pids "$side_dir")
    [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
  fi
  rm -f "$side_dir/pid"
}

stop_pair() {
  end_start "$1/starting.pid" sync-pair.sh
  stop_device "$1/a"
  stop_device "$1/b"
}

# config.xml of one device: this device and the other one, at its loopback address, one
# folder shared with it, the REST API on loopback with a known key.
write_config() {
  local file=$1 name=$2 version=$3 own_id=$4 own_port=$5 gui_port=$6 api_key=$7 folder=$8 other_id=$9 other_port=${10}
  cat >"$file" <<EOF
<configuration version="$version">
    <folder id="$FOLDER_ID" label="Memovky" path="$folder" type="sendreceive" rescanIntervalS="10" fsWatcherEnabled="true" fsWatcherDelayS="1" ignorePerms="true" autoNormalize="true">
        <filesystemType>basic</filesystemType>
        <device id="$own_id"></device>
        <device id="$other_id"></device>
        <minDiskFree unit="%">0</minDiskFree>
        <markerName>.stfolder</markerName>
    </folder>
    <device id="$own_id" name="$name" compression="never" introducer="false">
        <address>dynamic</address>
    </device>
    <device id="$other_id" name="$([ "$name" = A ] && echo B || echo A)" compression="never" introducer="false">
        <address>tcp://127.0.0.1:$other_port</address>
    </device>
    <gui enabled="true" tls="false" debugging="false">
        <address>127.0.0.1:$gui_port</address>
        <apikey>$api_key</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:$own_port</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <announceLANAddresses>false</announceLANAddresses>
        <urAccepted>-1</urAccepted>
        <urSeen>3</urSeen>
        <crashReportingEnabled>false</crashReportingEnabled>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <startBrowser>false</startBrowser>
        <restartOnWakeup>false</restartOnWakeup>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <setLowPriority>false</setLowPriority>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
    </options>
</configuration>
EOF
}

# GET of the device's REST API; empty when it does not answer.
rest() {
  local gui=$1 key=$2 path=$3
  curl -s --max-time 5 -H "X-API-Key: $key" "http://$gui$path" 2>/dev/null || true
}

# Both devices connected to each other and done with the folder's first scan.
pair_ready() {
  local side gui key
  for side in A B; do
    gui=${side}_GUI key=${side}_APIKEY
    rest "${!gui}" "${!key}" /rest/system/connections | tr -d ' \n' | grep -q '"connected":true' || return 1
    rest "${!gui}" "${!key}" "/rest/db/status?folder=$FOLDER_ID" | tr -d ' \n' | grep -q '"state":"idle"' || return 1
  done
}

start_pair() {
  local dir=$1 folder_a=$2 folder_b=$3
  stop_pair "$dir"
  rm -rf "$dir/a" "$dir/b"
  mkdir -p "$dir/a" "$dir/b" "$folder_a/.stfolder" "$folder_b/.stfolder"
  note_start "$dir/starting.pid"
  local side version id_a id_b
  for side in a b; do
    HOME=$dir/$side syncthing generate --home="$dir/$side/home" --no-default-folder >"$dir/$side/generate.log" 2>&1 \
      || { fail_start "$dir" "no keys for side $side"; return 1; }
  done
  version=$(sed -n 's/^<configuration version="\([0-9]*\)".*/\1/p' "$dir/a/home/config.xml")
  id_a=$(HOME=$dir/a syncthing serve --home="$dir/a/home" --device-id) || true
  id_b=$(HOME=$dir/b syncthing serve --home="$dir/b/home" --device-id) || true
  [ -n "$version" ] && [ -n "$id_a" ] && [ -n "$id_b" ] || { fail_start "$dir" "no device IDs"; return 1; }
  A_PORT=$(free_port)
  B_PORT=$(free_port "$A_PORT")
  local gui_a gui_b
  gui_a=$(free_port "$A_PORT" "$B_PORT")
  gui_b=$(free_port "$A_PORT" "$B_PORT" "$gui_a")
  A_GUI=127.0.0.1:$gui_a B_GUI=127.0.0.1:$gui_b
  A_APIKEY=memovky-test-a B_APIKEY=memovky-test-b
  write_config "$dir/a/home/config.xml" A "$version" "$id_a" "$A_PORT" "$gui_a" "$A_APIKEY" "$(realpath "$folder_a")" "$id_b" "$B_PORT"
  write_config "$dir/b/home/config.xml" B "$version" "$id_b" "$B_PORT" "$gui_b" "$B_APIKEY" "$(realpath "$folder_b")" "$id_a" "$A_PORT"
  printf 'A_GUI=%s\nA_APIKEY=%s\nA_PORT=%s\nA_ID=%s\nB_GUI=%s\nB_APIKEY=%s\nB_PORT=%s\nB_ID=%s\nFOLDER_ID=%s\n' \
    "$A_GUI" "$A_APIKEY" "$A_PORT" "$id_a" "$B_GUI" "$B_APIKEY" "$B_PORT" "$id_b" "$FOLDER_ID" >"$dir/pair.env"

  for side in a b; do
    HOME=$dir/$side setsid syncthing serve --home="$dir/$side/home" --no-browser --no-restart --no-upgrade --logflags=7 \
      >"$dir/$side/syncthing.log" 2>&1 </dev/null &
    echo $! >"$dir/$side/pid"
  done
  local i
  for i in $(seq 1 300); do
    for side in a b; do
      running "$(cat "$dir/$side/pid")" || { fail_start "$dir" "the device of side $side ended"; return 1; }
    done
    pair_ready && { rm -f "$dir/starting.pid"; log "sync pair up: A $A_GUI, B $B_GUI"; return 0; }
    sleep 0.1
  done
  fail_start "$dir" "the devices did not connect within 30 s"
  return 1
}

fail_start() {
  local dir=$1 side
  echo "sync-pair.sh: $2" >&2
  stop_pair "$dir"
  local file
  for file in "$dir"/[ab]/generate.log "$dir"/[ab]/syncthing.log; do
    [ -f "$file" ] || continue
    echo "--- $file" >&2
    tail -n 15 "$file" >&2
  done
}

case "${1:-}" in
  start)
    [ $# -eq 4 ] || usage
    # A port taken between the look and the start fails a start: another try takes other ports.
    for attempt in 1 2 3; do
      start_pair "$(realpath -m "$2")" "$3" "$4" && exit 0
    done
    exit 1
    ;;
  stop) [ $# -eq 2 ] || usage; stop_pair "$(realpath -m "$2")" ;;
  *) usage ;;
esac
