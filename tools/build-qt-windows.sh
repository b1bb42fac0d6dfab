#!/usr/bin/env bash
# Builds Qt 6 for Windows (qtbase 6.4.2: Core, Gui, Widgets, Network, Test, the windows platform
# plugin and PNG) with mingw-w64, from Debian's own qt6-base source package, against the build
# machine's Qt for its tools. The result goes into a cache folder and is reused while it is there:
#   ${Z900_QT_WINDOWS:-~/.cache/z900/qt-6.4.2-mingw}
# Usage: tools/build-qt-windows.sh [--check]   (--check: exit 0 when the cache is there, else 1)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
version=6.4.2
prefix=${Z900_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/z900/qt-$version-mingw}
stamp=$prefix/z900-qt-build.stamp

if [ -f "$stamp" ] && [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  [ "${1:-}" = --check ] || echo "Qt $version for Windows is in $prefix (cached)"
  exit 0
fi
if [ "${1:-}" = --check ]; then
  echo "Qt $version for Windows is not built yet: tools/build-qt-windows.sh builds it into $prefix"
  exit 1
fi

for tool in x86_64-w64-mingw32-g++-posix cmake ninja apt-get dpkg-source; do
  command -v "$tool" >/dev/null || { echo "build-qt-windows: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done
[ -x /usr/lib/qt6/libexec/moc ] || { echo "build-qt-windows: the build machine's Qt tools are missing (qt6-base-dev-tools)" >&2; exit 1; }

work=$prefix.work
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
trap 'echo "build-qt-windows: failed; the partial build stays in $work" >&2' ERR

# A private apt configuration with a deb-src line for the mirror this machine already uses, so the
# system's own lists stay as they are.
mirror=$(
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
  sed -nE 's/^(URIs:[[:space:]]*|deb[[:space:]]+(\[[^]]*\][[:space:]]+)?)([^[:space:]]+).*/\3/p' |
  grep -v -- -security | head -n 1 || true)
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" >"$work/apt/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=/nonexistent"
             -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o "APT::Sandbox::User=root")
echo "build-qt-windows: fetching Debian's qt6-base $version source from $mirror"
apt-get "${apt_options[@]}" -q update >/dev/null
(cd "$work" && apt-get "${apt_options[@]}" -q source --download-only qt6-base >/dev/null)
orig=$(ls "$work"/qt6-base_"$version"*.orig.tar.xz 2>/dev/null | head -n 1 || true)
[ -n "$orig" ] || { echo "build-qt-windows: the mirror's qt6-base is not version $version:" "$work"/*.dsc >&2; false; }
tar -xJf "$orig" -C "$work"
src=$(ls -d "$work"/qtbase-everywhere-src-"$version")

echo "build-qt-windows: configuring"
# Debian's source lacks the tablet header wintab.h: no tablet input (the utility uses none).
# The windows platform plugin needs OpenGL, so desktop OpenGL stays on.
cmake -G Ninja -S "$src" -B "$work/build" \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_opengl_desktop=ON -DFEATURE_vulkan=OFF \
  -DFEATURE_tabletevent=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF \
  -DFEATURE_ssl=OFF -DFEATURE_openssl=OFF -DFEATURE_schannel=OFF \
  -DFEATURE_network=ON -DFEATURE_testlib=ON -DFEATURE_widgets=ON \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF \
  >"$work/configure.log" 2>&1 || { tail -n 30 "$work/configure.log" >&2; false; }

echo "build-qt-windows: building (about 30 to 40 minutes on 2 cores; the log is $work/build.log)"
cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 ||
  { tail -n 30 "$work/build.log" >&2; false; }
cmake --install "$work/build" >"$work/install.log"
echo "qtbase $version from Debian's qt6-base source, mingw-w64 $(x86_64-w64-mingw32-g++-posix -dumpversion)" >"$stamp"
rm -rf "$work"
echo "Qt $version for Windows is in $prefix"
