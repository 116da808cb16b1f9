# The 32-bit test environment: a Debian trixie chroot with Wine 10 whose 32-bit half runs under
# qemu-i386 (this machine runs no 32-bit code natively). Sourced by scripts/test32.sh.
#
# Set up once per machine in MEMOVKY_WIN32_ROOT (default /var/cache/memovky-win32), so a fresh
# clone finds it ready. The host's own packages are never changed: debootstrap (the host's) and
# qemu-i386 (the chroot's) are unpacked from their Debian packages into that folder. Every mount lives in a private mount
# namespace of the run that needs it, so nothing stays mounted and runs never meet.

MEMOVKY_WIN32_ROOT=${MEMOVKY_WIN32_ROOT:-/var/cache/memovky-win32}
WIN32_CHROOT=$MEMOVKY_WIN32_ROOT/trixie
WIN32_TOOLS=$MEMOVKY_WIN32_ROOT/host-tools
WIN32_PREFIX=$MEMOVKY_WIN32_ROOT/prefix
WIN32_PACKAGES=(wine wine64 libwine fonts-wine wine32:i386 locales xdotool)
# Registered under our own name; flag F opens the interpreter now, so it also works in the chroot.
WIN32_BINFMT=memovky-qemu-i386

# URIs of the enabled "deb" sources in apt's own configuration: one-line .list files and deb822
# .sources files (fields folded over several lines, "Enabled: no" honoured).
apt_source_uris() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk '$1 == "deb" {
      i = 2
      if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }   # skip [options]
      if (i <= NF) print $i
    }' "$file"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk 'function flush() {
           if ((" " types " ") ~ / deb / && tolower(enabled) != "no") printf "%s\n", uris
           types = uris = enabled = field = ""
         }
         /^#/ { next }
         /^[ \t]*$/ { flush(); next }
         /^[ \t]/ { if (field == "types") types = types " " $0; else if (field == "uris") uris = uris " " $0; next }
         { field = tolower($0); sub(/:.*/, "", field)
           value = $0; sub(/^[^:]*:/, "", value)
           if (field == "types") types = value; else if (field == "uris") uris = value
           else if (field == "enabled") { enabled = value; gsub(/[ \t]/, "", enabled) } }
         END { flush() }' "$file" | tr -s ' \t' '\n\n'
  done
}

# The Debian archive apt already uses: the first enabled source whose URI ends in /debian; a
# mirror+file: source stands for the first mirror of its list. Never a host of our own choosing.
debian_mirror() {
  local uri
  while read -r uri; do
    case $uri in
      mirror+file:*) uri=$(grep -m1 -oE '^https?://[^[:space:]]+' "${uri#mirror+file:}" 2>/dev/null) || continue ;;
    esac
    uri=${uri%/}
    if [[ $uri =~ ^https?://[^[:space:]]+/debian$ ]]; then
      echo "$uri"
      return 0
    fi
  done < <(apt_source_uris)
  echo "apt's sources (/etc/apt/sources.list, /etc/apt/sources.list.d) name no Debian archive" \
    "(an enabled \"deb\" source whose URI ends in /debian); add the mirror this machine uses" \
    "and run again" >&2
  return 1
}

# Unpacks debootstrap from the host's release into host-tools, without installing it.
unpack_debootstrap() {
  local dir=$WIN32_TOOLS/debootstrap
  [ -f "$dir/.unpacked" ] && return 0
  log "unpacking debootstrap (not installed on the host)"
  rm -rf "$dir" "$dir.deb.d"
  mkdir -p "$dir.deb.d"
  chmod 777 "$dir.deb.d"   # apt downloads as its own user
  if ! (cd "$dir.deb.d" && apt-get download -qq debootstrap >/dev/null 2>&1); then
    as_root apt-get update -qq
    (cd "$dir.deb.d" && apt-get download -qq debootstrap >/dev/null)
  fi
  dpkg-deb -x "$dir.deb.d"/*.deb "$dir"
  rm -rf "$dir.deb.d"
  touch "$dir/.unpacked"
}

# qemu-i386 comes from the chroot's release (trixie, QEMU 10), unpacked, not installed. Bookworm's
# QEMU 7.2 gives all threads of a process one descriptor table: when a second thread of a 32-bit
# Wine program starts, the first one's %fs (its TEB) can turn into the second one's, and the
# program hangs or crashes. QEMU 8.0 gives every thread its own.
WIN32_QEMU=$WIN32_TOOLS/qemu-user/usr/bin/qemu-i386

unpack_qemu() {
  local dir=$WIN32_TOOLS/qemu-user debs=$WIN32_CHROOT/var/cache/memovky-debs
  [ -f "$dir/.unpacked" ] && return 0
  log "unpacking qemu-i386 from trixie's qemu-user (not installed anywhere)"
  rm -rf "$dir" "$debs"
  mkdir -p "$debs"
  chmod 777 "$debs"
  in_chroot sh -c 'cd /var/cache/memovky-debs && apt-get download -qq qemu-user' >/dev/null
  dpkg-deb -x "$debs"/qemu-user_*.deb "$dir"
  rm -rf "$debs"
  touch "$dir/.unpacked"
}

ensure_binfmt() {
  local misc=/proc/sys/fs/binfmt_misc
  mountpoint -q "$misc" || mount -t binfmt_misc binfmt_misc "$misc"
  if [ -e "$misc/$WIN32_BINFMT" ]; then
    grep -qx "interpreter $WIN32_QEMU" "$misc/$WIN32_BINFMT" && return 0
    echo -1 >"$misc/$WIN32_BINFMT"   # an older set-up's interpreter
  fi
  unpack_qemu
  log "registering qemu-i386 for 32-bit x86 programs (binfmt_misc, flag F)"
  # The ELF header of an i386 executable or shared object, as Debian's qemu-user-binfmt has it.
  printf '%s' ":$WIN32_BINFMT:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$WIN32_QEMU:F" \
    >"$misc/register"
}

# Runs a command inside the chroot with the given environment (KEY=VALUE words first).
# Only inside a namespace made by in_win32_namespace, where the mounts are.
in_chroot() {
  chroot "$WIN32_CHROOT" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
    LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8 "$@"
}

# Mounts what programs in the chroot need; called in a private mount namespace, so the mounts
# end with it. The clone and the kept Wine prefix appear at the same paths, since Wine and the test
# programs are given them as Unix paths.
mount_chroot() {
  local dir
  for dir in /proc /sys /dev /dev/pts /tmp/.X11-unix "$MEMOVKY_ROOT" "$WIN32_PREFIX"; do
    mkdir -p "$WIN32_CHROOT$dir" "$dir"
    mountpoint -q "$WIN32_CHROOT$dir" || mount --bind "$dir" "$WIN32_CHROOT$dir"
  done
  cp -L /etc/resolv.conf "$WIN32_CHROOT/etc/resolv.conf" 2>/dev/null || true
}

# Runs this script again with the given arguments in a private mount namespace.
in_win32_namespace() {
  exec unshare --mount --propagation private -- "$0" "$@"
}

# Nothing may be mounted under the chroot before it is removed.
remove_chroot_dir() {
  local dir=$1
  if findmnt -rn -o TARGET | grep -q "^$dir/"; then
    echo "$dir has mounts under it; not removing it" >&2
    return 1
  fi
  rm -rf "$dir"
}

# debootstrap and the packages, once. Runs in a private mount namespace.
ensure_chroot_packages() {
  [ -f "$WIN32_CHROOT/.memovky-ready" ] && return 0
  if [ ! -f "$WIN32_CHROOT/.memovky-bootstrapped" ]; then
    local mirror
    mirror=$(debian_mirror) || return 1
    unpack_debootstrap
    remove_chroot_dir "$WIN32_CHROOT"
    log "debootstrap trixie from $mirror into $WIN32_CHROOT"
    DEBOOTSTRAP_DIR=$WIN32_TOOLS/debootstrap/usr/share/debootstrap \
      "$WIN32_TOOLS/debootstrap/usr/sbin/debootstrap" --variant=minbase --arch=amd64 \
      trixie "$WIN32_CHROOT" "$mirror" >"$MEMOVKY_WIN32_ROOT/debootstrap.log" 2>&1 \
      || { tail -n 20 "$MEMOVKY_WIN32_ROOT/debootstrap.log" >&2; return 1; }
    touch "$WIN32_CHROOT/.memovky-bootstrapped"
  fi
  mount_chroot
  in_chroot dpkg --add-architecture i386
  in_chroot apt-get update -qq
  ensure_binfmt
  log "installing ${WIN32_PACKAGES[*]} in the chroot"
  in_chroot DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${WIN32_PACKAGES[@]}" >"$MEMOVKY_WIN32_ROOT/packages.log" 2>&1 \
    || { tail -n 20 "$MEMOVKY_WIN32_ROOT/packages.log" >&2; return 1; }
  sed -i 's/^# *\(cs_CZ.UTF-8 UTF-8\)/\1/' "$WIN32_CHROOT/etc/locale.gen"
  grep -q '^cs_CZ.UTF-8 UTF-8' "$WIN32_CHROOT/etc/locale.gen" || echo 'cs_CZ.UTF-8 UTF-8' >>"$WIN32_CHROOT/etc/locale.gen"
  in_chroot locale-gen >/dev/null
  in_chroot apt-get clean
  touch "$WIN32_CHROOT/.memovky-ready"
}
