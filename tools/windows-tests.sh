#!/usr/bin/env bash
# Builds the core and z900ctl for Windows (cross, with mingw-w64) and runs their tests under
# Wine, then sums the cases up. Run by ./test.sh after the Linux tests. Without mingw-w64 or Wine
# the Windows part is skipped with the reason, except under CI (Z900_CI or CI set), where it
# must run.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("mingw-w64 (g++-mingw-w64-x86-64-posix)")
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || missing+=("Wine (wine64)")
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=("GoogleTest's sources (libgtest-dev)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "The Windows build and its tests are skipped: ${missing[*]} not installed;" \
       "tools/install-deps.sh installs them." >&2
  if [ -n "${Z900_CI:-}${CI:-}" ]; then exit 1; fi
  exit 0
fi

start=$SECONDS
cmake --preset windows
cmake --build --preset windows -j "$(nproc)"
built=$SECONDS
rm -f build/windows/test-results/*.xml
status=0
ctest --preset windows -j "$(nproc)" "$@" || status=$?
python3 tests/windows/summarise.py build/windows/test-results
# The Wine server of the build's prefix would linger for half a minute.
WINEPREFIX=$PWD/build/windows/wine-prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
echo "Windows build: $((built - start)) s; its tests under Wine: $((SECONDS - built)) s"
exit $status
