#!/usr/bin/env bash
# The parts of the device-path test's guest that come from Debian packages: the kernel with the
# HID modules it needs (hid, hid-generic, uhid) and a static busybox. They are unpacked from the
# packages (apt-get download), never installed, into a cache folder outside the tree:
#
#   tools/vm-guest.sh fetch   fetches them unless they are there already
#   tools/vm-guest.sh dir     prints the folder
#
# The folder is $Z900_VM_GUEST when set, else ${XDG_CACHE_HOME:-$HOME/.cache}/z900/vm-guest.
# The kernel is the one linux-image-amd64 names at the time of the first fetch; it stays until
# the folder is removed.
set -euo pipefail

dir=${Z900_VM_GUEST:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/z900/vm-guest}

fetch() {
  [ -e "$dir/complete" ] && return 0
  if [ "$(dpkg --print-architecture)" != amd64 ]; then
    echo "vm-guest: the device-path test's guest is x86-64 only; not fetched" >&2
    return 0
  fi
  local kernel
  kernel=$(apt-cache depends linux-image-amd64 2> /dev/null |
    awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  if [ -z "$kernel" ]; then
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    kernel=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  fi
  echo "vm-guest: fetching $kernel and busybox-static into $dir"
  download=$(mktemp -d)
  trap 'rm -rf "$download"' EXIT
  chmod 777 "$download"  # apt downloads as its own unprivileged user
  (cd "$download" && apt-get download -q "$kernel" busybox-static)
  mkdir -p "$download/kernel" "$download/busybox"
  dpkg-deb --fsys-tarfile "$download/$kernel"_*.deb | tar -x -C "$download/kernel" \
    --wildcards './boot/vmlinuz-*' '*/drivers/hid/hid.ko' '*/drivers/hid/hid-generic.ko' \
    '*/drivers/hid/uhid.ko'
  dpkg-deb -x "$download"/busybox-static_*.deb "$download/busybox"

  rm -rf "$dir" && mkdir -p "$dir/modules"
  cp "$download"/kernel/boot/vmlinuz-* "$dir/vmlinuz"
  find "$download/kernel" -name '*.ko' -exec cp {} "$dir/modules/" \;
  cp "$download/busybox/bin/busybox" "$dir/busybox"
  echo "$kernel" > "$dir/complete"
}

case ${1:-} in
  fetch) fetch ;;
  dir) echo "$dir" ;;
  *)
    echo "usage: tools/vm-guest.sh fetch|dir" >&2
    exit 2
    ;;
esac
