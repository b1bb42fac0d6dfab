#!/usr/bin/env bash
# run_under_wine.sh PREFIX PROGRAM [ARGUMENT...]: runs a Windows program under Wine,
# in the Wine prefix PREFIX (created on first use). One wineserver stays up between programs,
# so that each starts in a fraction of a second instead of several seconds.
#
# Exit status: the program's; 77 (ctest's skip) when Wine is not installed, or 1 under CI
# (Z900_CI or CI set), where the Windows tests must run.
set -euo pipefail
prefix=$1
shift

loader=
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    loader=$candidate
    break
  fi
done
server=
for candidate in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    server=$candidate
    break
  fi
done
if [ -z "$loader" ] || [ -z "$server" ]; then
  echo "Wine (wine64) is not installed: the Windows tests cannot run; tools/install-deps.sh installs it" >&2
  if [ -n "${Z900_CI:-}${CI:-}" ]; then exit 1; fi
  exit 77
fi

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# Neither .NET nor the HTML engine is wanted, nor asked for.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Console programs: Wine needs no display, and must not ask one for windows of its own. Window
# programs get the display Z900_WINE_DISPLAY names (a private X server).
unset DISPLAY WAYLAND_DISPLAY
if [ -n "${Z900_WINE_DISPLAY:-}" ]; then export DISPLAY=$Z900_WINE_DISPLAY; fi

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    echo "Creating the Wine prefix $prefix (once per build folder)" >&2
    "$loader" wineboot --init >/dev/null 2>&1 9>&- || true
    "$server" -w 9>&-
  fi
  # Stays up until no program has used it for 30 s; fails harmlessly when one runs already.
  "$server" -p30 </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"

exec "$loader" "$@"
