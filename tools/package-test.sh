#!/usr/bin/env bash
# Builds the Debian package (the package preset: the default build without tests and
# benchmarks, in build/package), checks it with lintian, then installs it into a clean Debian 12
# root made by debootstrap: the installed programs run from their installed paths, and purging
# the package leaves nothing behind.
#
#   tools/package-test.sh [--no-install-test]
#
# The root is made once and kept as a tarball in ${XDG_CACHE_HOME:-~/.cache}/z900/package-root;
# delete it to start from a newer Debian 12. Installing needs root and the network (the
# package's dependencies come from Z900_DEBIAN_MIRROR, http://deb.debian.org/debian unless set).
# Exit status 0 passed, 1 failed; without root the install test is skipped and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

mirror=${Z900_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${Z900_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}

step() { printf '\n== %s (%d s)\n' "$*" "$SECONDS"; }
fail() {
  echo "package test: $*" >&2
  exit 1
}

# ---------------------------------------------------------------------------------------------
# Inside the private mount namespace: everything that runs in the root.
if [ "${1:-}" = --in-root ]; then
  root=$2
  deb=$3
  in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
  # As a user without rights, with a home folder in /tmp.
  as_user() { in_root setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/runtime "$@"; }
  # The paths of the root, without what the package tools keep for their own bookkeeping and
  # the folders of a running system.
  snapshot() {
    (cd "$root" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o -path ./run \
      -o -path ./tmp -o -path ./var/cache -o -path ./var/lib/apt -o -path ./var/lib/dpkg \
      -o -path ./var/log -o -path ./var/lib/ucf -o -path ./etc/ld.so.cache \) -prune \
      -o -print | sort)
  }
  # check NAME EXPECTED-OUTPUT COMMAND…: the command ends with 0 and says what is expected.
  check() {
    local name=$1 expected=$2 output
    shift 2
    output=$("$@" 2>&1) || fail "$name: exit status $?: $output"
    grep -Eq -- "$expected" <<<"$output" || fail "$name: expected \"$expected\", got: $output"
    echo "ok: $name"
  }

  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmp "$root/tmp"
  install -d -m 700 -o 65534 -g 65534 "$root/tmp/home" "$root/tmp/runtime"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # No service starts inside the root.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security_mirror bookworm-security main
EOF

  step "the root's package lists"
  in_root apt-get update -q >/dev/null
  # The display for z900-config, part of the root before the package comes.
  in_root apt-get install -y -q --no-install-recommends xvfb xauth >/dev/null
  before=$(snapshot)

  step "apt-get install ./$(basename "$deb") (without recommended packages)"
  mkdir -p "$root/tmp/package"
  cp "$deb" "$root/tmp/package/"
  in_root apt-get install -y -q --no-install-recommends "/tmp/package/$(basename "$deb")" |
    grep -E '^(Setting up|Unpacking) z900|newly installed' || true
  in_root dpkg-query -W -f='${Status}\n' z900 | grep -q 'install ok installed' ||
    fail "z900 is not installed"

  step "the installed programs"
  check "z900ctl --version" '^z900ctl [0-9]' as_user /usr/bin/z900ctl --version
  check "z900ctl --simulate info" 'firmware' as_user /usr/bin/z900ctl --simulate info
  check "z900ctl lang check (the installed program folder)" "^/usr/share/z900/language.xml: " \
    as_user /usr/bin/z900ctl lang check
  output=$(as_user /usr/bin/z900ctl info 2>&1) && status=0 || status=$?
  [ "$status" = 3 ] || fail "z900ctl info without a mouse: exit status $status: $output"
  echo "ok: z900ctl info without a mouse (exit status 3)"
  check "z900-screengrab --help" '^Usage: z900-screengrab' as_user /usr/bin/z900-screengrab --help
  check "bash completion" 'complete -F _z900ctl z900ctl' in_root bash -c \
    '. /usr/share/bash-completion/completions/z900ctl && complete -p z900ctl'
  for file in /usr/lib/udev/rules.d/70-z900.rules /usr/share/man/man1/z900ctl.1.gz \
    /usr/share/man/man1/z900-config.1.gz /usr/share/man/man1/z900-screengrab.1.gz \
    /usr/share/applications/z900-config.desktop /usr/share/metainfo/example.z900.Config.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/z900-config.svg \
    /usr/share/icons/hicolor/48x48/apps/z900-config.png /usr/share/doc/z900/copyright \
    /usr/share/doc/z900/changelog.Debian.gz; do
    [ -f "$root$file" ] || fail "$file is not installed"
  done
  echo "ok: udev rule, manual pages, menu entry, metadata, icons and documents in place"

  entry=/etc/xdg/autostart/z900-config.desktop
  check "autostart entry installed" "^on \($entry\)" as_user /usr/bin/z900ctl autostart status
  check "z900-config --autostart off" '^off \(/tmp/home/.config/autostart/' \
    as_user /usr/bin/z900-config --autostart off
  check "z900ctl autostart status (off for the user)" '^off \(/tmp/home/.config/autostart/' \
    as_user /usr/bin/z900ctl autostart status
  check "z900ctl autostart on" "^on \($entry\)" as_user /usr/bin/z900ctl autostart on
  check "z900-config --version" '^z900-config [0-9]' as_user /usr/bin/z900-config --version
  check "z900-config --render (the installed skins and language files)" \
    'pictures written, 0 failed' as_user /usr/bin/z900-config --render /tmp/gallery
  # The utility runs until it is ended: once it listens on its instance socket in the runtime
  # folder, a second start only asks it to show its window and ends, and SIGTERM ends it with
  # exit status 0.
  check "z900-config --simulate under Xvfb: a second start, then SIGTERM" '^ended cleanly$' \
    as_user xvfb-run -a sh -c '
      /usr/bin/z900-config --simulate &
      first=$!
      tries=0
      until [ -n "$(find "$XDG_RUNTIME_DIR" -type s)" ]; do
        kill -0 $first 2>/dev/null || { wait $first; echo "ended by itself: status $?"; exit 1; }
        tries=$((tries + 1))
        [ $tries -lt 300 ] || { kill $first; echo "no instance socket after 30 s"; exit 1; }
        sleep 0.1
      done
      timeout 30 /usr/bin/z900-config --simulate ||
        { status=$?; kill $first; echo "second start: status $status"; exit 1; }
      kill -0 $first 2>/dev/null || { echo "the first one ended with the second"; exit 1; }
      kill -TERM $first
      if wait $first; then echo "ended cleanly"; else echo "after SIGTERM: status $?"; exit 1; fi'

  step "apt-get purge --autoremove z900"
  in_root apt-get purge -y -q --autoremove z900 >/dev/null
  after=$(snapshot)
  if [ "$before" != "$after" ]; then
    diff <(echo "$before") <(echo "$after") >&2 || true
    fail "the root is not as it was before the package came (< gone, > left behind)"
  fi
  echo "ok: nothing of the package is left, and its dependencies are gone again"
  exit 0
fi

# ---------------------------------------------------------------------------------------------
step "building the package (package preset)"
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)" --target package
shopt -s nullglob
debs=(build/package/z900_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package in build/package, found ${#debs[@]}"
deb=$(realpath "${debs[0]}")

step "$(basename "$deb")"
dpkg-deb -c "$deb" | awk '{ print $1, $6 }'
dpkg-deb -f "$deb" Depends Recommends

step "lintian"
lintian --fail-on error --info "$deb" || fail "lintian found errors"

if [ "${1:-}" = --no-install-test ]; then exit 0; fi
if [ "$(id -u)" -ne 0 ] || ! command -v debootstrap >/dev/null || ! unshare --mount true; then
  echo "SKIPPED: the install test needs root, debootstrap and a private mount namespace"
  exit 0
fi

step "a clean Debian 12 root"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/z900/package-root
tarball=$cache/bookworm-minbase.tar
root=$(mktemp -d /var/tmp/z900-root.XXXXXX)
trap 'rm -rf --one-file-system "$root"' EXIT
if [ -f "$tarball" ]; then
  tar -C "$root" -xf "$tarball"
  echo "from $tarball"
else
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null ||
    fail "debootstrap failed; see $root/debootstrap/debootstrap.log"
  mkdir -p "$cache"
  tar -C "$root" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
  echo "made by debootstrap, kept as $tarball"
fi

chmod 755 "$root"  # the root folder of the system inside: every user passes through it
unshare --mount --propagation private "$0" --in-root "$root" "$deb"
step "passed"
