#!/usr/bin/env bash
# The device-path test: boots a small QEMU guest with the Debian kernel, where z900ctl reaches a
# virtual mouse through hidapi, /dev/hidraw, the kernel's HID core and uhid, and checks each
# variant that guest_init.sh runs.
#
#   run_device_vm.sh Z900CTL VIRTUAL_MOUSE AS_OLD_KERNEL WORK_DIR
#
# Exits 0 when every check passed, 1 when one failed, 77 (skipped) when QEMU or the guest's
# kernel and busybox are missing; under CI (CI set) a missing part is a failure instead, as CI
# installs them through tools/install-deps.sh.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
z900ctl=$1
virtual_mouse=$2
as_old_kernel=$3
work=$4
boot_limit_s=150

missing() {
  echo "$1; tools/install-deps.sh installs it"
  if [ -n "${CI:-}" ]; then
    echo "FAIL: CI must run the device-path test"
    exit 1
  fi
  echo "SKIP: device-path test not run"
  exit 77
}

command -v qemu-system-x86_64 > /dev/null || missing "qemu-system-x86_64 is not installed"
guest=$("$source_dir/tools/vm-guest.sh" dir)
for part in vmlinuz busybox modules/hid.ko modules/hid-generic.ko modules/uhid.ko; do
  [ -e "$guest/$part" ] || missing "the guest's $part is not in $guest"
done

started=$SECONDS
root=$work/root
rm -rf "$root" && mkdir -p "$root"/{bin,etc,lib64,lib/x86_64-linux-gnu,modules,opt/z900,proc,sys,dev,tmp,root}
cp "$guest/busybox" "$root/bin/busybox"
ln -s busybox "$root/bin/sh"
cp "$guest"/modules/*.ko "$root/modules/"
install -m 755 "$here/guest_init.sh" "$root/init"
cp "$virtual_mouse" "$as_old_kernel" "$root/opt/z900/"
# The guest has no symbolizer, so its debug information would only make the guest slower to
# load; a sanitizer report there gives module offsets, which the host's copy resolves.
objcopy --strip-debug "$z900ctl" "$root/opt/z900/z900ctl"
cp "$(dirname "$z900ctl")"/language*.xml "$root/opt/z900/"
# The libraries z900ctl needs (sanitizer runtimes among them) and the dynamic loader.
ldd "$z900ctl" | awk '$2 == "=>" && $3 ~ /^\// {print $3}' | while read -r library; do
  cp -L "$library" "$root/lib/x86_64-linux-gnu/"
done
loader=$(ldd "$z900ctl" | awk '$1 ~ /^\/.*ld-linux/ {print $1}')
cp -L "$loader" "$root/lib64/"
printf 'root:x:0:0:root:/root:/bin/sh\ntester:x:1000:1000:tester:/tmp:/bin/sh\n' > "$root/etc/passwd"
printf 'root:x:0:\ntester:x:1000:\n' > "$root/etc/group"
(cd "$root" && find . | "$guest/busybox" cpio -o -H newc 2> /dev/null) > "$work/initramfs.cpio" ||
  { echo "FAIL: could not pack the guest"; exit 1; }
packed=$SECONDS

console=$work/console.log
timeout -k 5 "$boot_limit_s" qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -nodefaults \
  -display none -no-reboot -serial "file:$console" -monitor none \
  -kernel "$guest/vmlinuz" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1" < /dev/null
qemu_status=$?
tr -d '\r' < "$console" > "$console.txt"

echo "guest packed in $((packed - started)) s, booted and ran in $((SECONDS - packed)) s"
grep -E '^(CHECK |GUEST: kernel|GUEST: checks end)' "$console.txt"
result=$(grep '^GUEST RESULT: ' "$console.txt")
if [ -n "$result" ] && [ "$result" = "GUEST RESULT: $(grep -c '^CHECK PASS' "$console.txt") passed, 0 failed" ]; then
  echo "${result#GUEST RESULT: }"
  exit 0
fi
[ "$qemu_status" = 124 ] && echo "FAIL: the guest did not finish within $boot_limit_s s"
echo "FAIL: the guest's checks failed; its console follows ($console.txt)"
cat "$console.txt"
exit 1
