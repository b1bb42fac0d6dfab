#!/usr/bin/env bash
# The udev rule as udev itself applies it: `udevadm test` on hidraw nodes of a synthetic sysfs,
# in a private mount namespace so that nothing of the machine's /sys, /dev, /run or rules is
# touched or read. The mouse's configuration interface gets the uaccess tag (and, through the
# system's seat rules when present, the uaccess action for the active session); its boot
# interfaces and other devices do not.
set -euo pipefail
. "$(dirname "$0")/need_tool.sh"
rule=$(realpath "$1")

if [ "${Z900_UDEV_CHECK_INSIDE:-}" != 1 ]; then
  # Access comes only through the seat: no mode, group or owner for everyone.
  if grep -v '^#' "$rule" | grep -Eq '\b(MODE|GROUP|OWNER)\b'; then
    echo "$rule sets a mode, group or owner; access must come from the uaccess tag alone" >&2
    exit 1
  fi
  grep -q 'TAG+="uaccess"' "$rule" || { echo "$rule gives no uaccess tag" >&2; exit 1; }
  need udevadm unshare
  if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
    echo "skipped: a private mount namespace is not allowed here (needs root); the rule's text" \
      "was checked"
    exit 77
  fi
  exec env Z900_UDEV_CHECK_INSIDE=1 unshare --mount --propagation private "$0" "$rule"
fi

# Inside the namespace. The rule and the system's seat rules are copied before their folders
# are covered.
mount -t tmpfs z900-check /run
work=/run/z900-check
mkdir -p "$work/rules"
cp "$rule" "$work/rules/"
for seat in 71-seat.rules 73-seat-late.rules; do
  [ -f "/usr/lib/udev/rules.d/$seat" ] && cp "/usr/lib/udev/rules.d/$seat" "$work/rules/"
done
seat_rules=$([ -f "$work/rules/73-seat-late.rules" ] && echo yes || echo no)
for dir in /etc/udev/rules.d /usr/local/lib/udev/rules.d /usr/lib/udev/rules.d; do
  [ -d "$dir" ] && mount -t tmpfs z900-check "$dir"
done
cp "$work/rules/"* /usr/lib/udev/rules.d/
mount -t tmpfs z900-check /sys
mount -t tmpfs z900-check /dev
mkdir -p /sys/bus/usb /sys/bus/hid /sys/class/hidraw /run/udev

# usb_device PORT VENDOR PRODUCT
usb_device() {
  local dir=/sys/devices/pci0000:00/0000:00:14.0/usb1/$1
  mkdir -p "$dir"
  ln -s /sys/bus/usb "$dir/subsystem"
  printf 'DEVTYPE=usb_device\nPRODUCT=%s/%s/100\n' "$2" "$3" >"$dir/uevent"
  echo "$2" >"$dir/idVendor"
  echo "$3" >"$dir/idProduct"
}

# hidraw_node PORT INTERFACE SUBCLASS PROTOCOL MINOR: a HID interface of the USB device at PORT
# with one hidraw node; prints the node's device path.
hidraw_node() {
  local port=$1 number=$2 subclass=$3 protocol=$4 minor=$5
  local device=/sys/devices/pci0000:00/0000:00:14.0/usb1/$port
  local vendor product
  vendor=$(tr a-f A-F <"$device/idVendor")
  product=$(tr a-f A-F <"$device/idProduct")
  local interface=$device/$port:1.$number
  local modalias
  modalias=$(printf 'usb:v%sp%sd0100dc00dsc00dp00ic03isc%sip%sin%02d' "$vendor" "$product" \
    "$subclass" "$protocol" "$number")
  mkdir -p "$interface"
  ln -s /sys/bus/usb "$interface/subsystem"
  printf 'DEVTYPE=usb_interface\nINTERFACE=3/%d/%d\nMODALIAS=%s\n' "$subclass" "$protocol" \
    "$modalias" >"$interface/uevent"
  echo "$modalias" >"$interface/modalias"
  echo 03 >"$interface/bInterfaceClass"
  echo "$subclass" >"$interface/bInterfaceSubClass"
  echo "$protocol" >"$interface/bInterfaceProtocol"
  local hid
  hid=$interface/$(printf '0003:%s:%s.%04X' "$vendor" "$product" "$minor")
  mkdir -p "$hid"
  ln -s /sys/bus/hid "$hid/subsystem"
  printf 'HID_ID=0003:0000%s:0000%s\n' "$vendor" "$product" >"$hid/uevent"
  local node=$hid/hidraw/hidraw$minor
  mkdir -p "$node"
  ln -s /sys/class/hidraw "$node/subsystem"
  printf 'MAJOR=242\nMINOR=%d\nDEVNAME=hidraw%d\n' "$minor" "$minor" >"$node/uevent"
  echo "242:$minor" >"$node/dev"
  ln -s "${node#/sys/class/hidraw/}" "/sys/class/hidraw/hidraw$minor"
  echo "${node#/sys}"
}

usb_device 1-1 5e1d 0e37
usb_device 1-2 5e1d 0e38
failures=0
# name, port, interface, subclass, protocol, minor, whether the seat user gets it
while read -r name port number subclass protocol minor expected; do
  devpath=$(hidraw_node "$port" "$number" "$subclass" "$protocol" "$minor")
  output=$(SYSTEMD_DEVICE_VERIFY_SYSFS=0 SYSTEMD_LOG_LEVEL=debug udevadm test --action=add \
    "$devpath" 2>&1) || { echo "$name: udevadm test failed:"; echo "$output"; exit 1; }
  if grep -E 'rules.d/70-z900.rules' <<<"$output" | grep -Eiq 'invalid|error|ignor|fail'; then
    echo "$name: udev does not accept the rule:"
    grep -E 'rules.d/70-z900.rules' <<<"$output"
    exit 1
  fi
  tagged=no
  grep -Eq '^TAGS=.*:uaccess:' <<<"$output" && tagged=yes
  if [ "$seat_rules" = yes ] && [ "$tagged" = yes ] && ! grep -q "^run: 'uaccess'" <<<"$output"
  then
    echo "$name: tagged, but the seat rules do not give the session access:"
    echo "$output"
    failures=$((failures + 1))
  fi
  if [ "$tagged" = "$expected" ]; then
    echo "$name: uaccess $tagged, as it should be"
  else
    echo "$name: uaccess $tagged, expected $expected:"
    echo "$output"
    failures=$((failures + 1))
  fi
done <<'CASES'
configuration-interface 1-1 2 00 00 2 yes
boot-pointer 1-1 0 01 02 0 no
boot-keyboard 1-1 1 01 01 1 no
other-product 1-2 2 00 00 5 no
CASES
[ "$seat_rules" = yes ] ||
  echo "(the system's seat rules are not installed; the tag alone was checked)"
exit $((failures > 0))
