#!/usr/bin/env bash
# Every manual page in the folder formats without a warning from man or groff, and states the
# project's licence (SPDX, $2) in its LICENSE section.
set -euo pipefail
. "$(dirname "$0")/need_tool.sh"
need man col
shopt -s nullglob
pages=("$1"/*.1)
[ ${#pages[@]} -gt 0 ] || { echo "no manual page in $1" >&2; exit 1; }
for page in "${pages[@]}"; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { printf '%s: %s\n' "$page" "$warnings" >&2; exit 1; }
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l -Tutf8 "$page" 2>/dev/null | col -b)
  grep -A1 '^LICENSE' <<<"$text" | grep -q "$2: the GNU General Public License" || {
    echo "$page: no LICENSE section naming $2" >&2
    exit 1
  }
  echo "$page: formats cleanly and states the licence"
done
