#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run, when they are
# missing. Uses apt-get directly as root, otherwise through sudo.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # device access, downloads, the desktop
  libhidapi-dev libcurl4-openssl-dev libx11-dev libcanberra-dev
  # the foreground program on Wayland desktops: the protocol, D-Bus, sway's IPC replies
  libwayland-dev libsystemd-dev nlohmann-json3-dev
  # keyboard layouts
  libxkbcommon-dev libxkbcommon-x11-dev libxcb1-dev xkb-data
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3 xvfb
  # a private session bus, and a headless Wayland compositor with two native clients
  dbus-daemon sway foot wev
  # reference XML readers of the benchmark (bench/ only)
  libpugixml-dev libxml2-dev
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

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
