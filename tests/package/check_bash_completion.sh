#!/usr/bin/env bash
# What the bash completion offers at the cursor, for a table of command lines.
set -euo pipefail
# shellcheck source=/dev/null
. "$1"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
touch macro.bin notes.txt
mkdir skins

# complete LINE: what the completion offers for the last word of LINE (a trailing blank starts
# a new word), sorted and on one line.
complete_line() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _z900ctl
  printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

failures=0
while IFS='|' read -r line expected; do
  got=$(complete_line "$line")
  if [ "$got" = "$expected" ]; then
    echo "ok:   '$line' -> $got"
  else
    echo "FAIL: '$line' -> '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
done <<'CASES'
z900ctl -|--help --simulate --version
z900ctl ma|macro
z900ctl --simulate se|set
z900ctl set |button dpi led name rate
z900ctl macro i|import
z900ctl autostart |off on status
z900ctl autostart on |
z900ctl show --|--json --mode
z900ctl show --mode |
z900ctl --simulate sim press --mode 1 |
z900ctl macro import |macro.bin notes.txt skins
z900ctl macro import n|notes.txt
z900ctl lang check --|
z900ctl nonsense |
CASES
exit $((failures > 0))
