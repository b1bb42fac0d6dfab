#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run, when they are
# missing. Uses apt-get directly as root, otherwise through sudo.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # device access, downloads, the desktop
  libhidapi-dev libcurl4-openssl-dev libx11-dev libcanberra-dev
  # the keyboard hook: XInput2 raw key events
  libxi-dev
  # the foreground program on Wayland desktops: the protocol, D-Bus, sway's IPC replies
  libwayland-dev libsystemd-dev nlohmann-json3-dev
  # the window program: Qt Widgets and Svg (the skins are drawn from vectors at build time),
  # and the skin's font; Qt's X11 platform plugin; the screenshot tool also uses Qt D-Bus
  qt6-base-dev qt6-svg-dev fonts-open-sans qt6-qpa-plugins
  # the mouse coming and going
  libudev-dev
  # keyboard layouts
  libxkbcommon-dev libxkbcommon-x11-dev libxcb1-dev xkb-data
  # tests and benchmarks; xdotool drives the screenshot overlay and the tray utility, dbus-daemon
  # is a private bus, trayer a tray host and x11-utils (xwininfo) finds the icons in it
  libgtest-dev libgmock-dev libbenchmark-dev python3 xvfb xdotool dbus-daemon trayer x11-utils
  # a headless Wayland compositor with two native clients, for automatic switching
  sway foot wev
  # the device-path test's guest (its kernel and busybox: tools/vm-guest.sh, below)
  qemu-system-x86
  # reference XML readers of the benchmark (bench/ only)
  libpugixml-dev libxml2-dev
  # the libFuzzer targets, run in CI by tools/fuzz-ci.sh: clang and its fuzzer and sanitizer
  # run-time libraries
  clang libclang-rt-14-dev
  # the Windows build (cmake/mingw-w64.cmake: the posix thread model) and its tests under Wine;
  # GoogleTest's sources for it come with libgtest-dev (/usr/src/googletest); the installer
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 nsis
  # the package and its checks: dependencies of the .deb (dpkg-shlibdeps), the desktop's
  # validators, the udev rule's test, manual pages (col reads them as text), the clean root of
  # the install test
  dpkg-dev lintian desktop-file-utils appstream udev man-db bsdextrautils debootstrap
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    sudo=()
  elif command -v sudo >/dev/null; then
    sudo=(sudo)
  else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$(dirname "$0")/vm-guest.sh" fetch
