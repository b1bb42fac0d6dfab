#!/usr/bin/env bash
# Builds the programs for Windows (cross, with mingw-w64) and runs their tests under Wine, then
# sums the cases up; with Qt for Windows at hand (tools/build-qt-windows.sh) also the window
# program, the installer and the portable .zip, and their checks (tools/windows-ui-checks.sh).
# Run by ./test.sh after the Linux tests. Without mingw-w64 or Wine the Windows part is skipped
# with the reason, except under CI (Z900_CI or CI set), where it must run.
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

# The window program, its installer and their checks need Qt for Windows, built once per machine.
if tools/build-qt-windows.sh --check >/dev/null; then
  ui=ON
else
  ui=OFF
  echo "The Windows window program, its installer and their checks are skipped: Qt for Windows" \
       "is not built here (tools/build-qt-windows.sh builds it, in 30 to 40 minutes on 2 cores)." >&2
fi

start=$SECONDS
cmake --preset windows -DZ900_BUILD_UI=$ui
cmake --build --preset windows -j "$(nproc)"
if [ $ui = ON ]; then
  (cd build/windows && cpack >cpack.log) || { cat build/windows/cpack.log; exit 1; }
  echo "Windows packages:" build/windows/packages/*.exe build/windows/packages/*.zip
fi
built=$SECONDS
rm -f build/windows/test-results/*.xml
status=0
ctest --preset windows -j "$(nproc)" "$@" || status=$?
python3 tests/windows/summarise.py build/windows/test-results
# The Wine server of the build's prefix would linger for half a minute.
WINEPREFIX=$PWD/build/windows/wine-prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
tested=$SECONDS
echo "Windows build: $((built - start)) s; its tests under Wine: $((tested - built)) s"
if [ $ui = ON ]; then
  # The Linux build whose pictures the Windows ones are compared with: test.sh's.
  tools/windows-ui-checks.sh "${Z900_LINUX_BUILD:-build/asan}" || status=1
  echo "Windows window and installer checks: $((SECONDS - tested)) s"
fi
exit $status
