#!/usr/bin/env bash
# The choice of the GNOME Shell extension's form ($1, the configured gnome-extension script), in
# a folder standing for /: the script form for GNOME Shell 42 to 44, the module form for 45 and
# later, no link without GNOME Shell or for an older one; unlink takes only our link away.
set -euo pipefail
script=$1
data=$2  # the data folder the script was configured with, e.g. /usr/share
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
place=$root$data/gnome-shell/extensions/z900-foreground@z900
fail() {
  echo "$*" >&2
  exit 1
}
for case in 42:legacy 44:legacy 45:module 48:module 41: '':; do
  version=${case%%:*}
  form=${case#*:}
  Z900_ROOT=$root "$script" link "$version"
  if [ -n "$form" ]; then
    [ "$(readlink "$place")" = "$data/z900/gnome-shell/$form/z900-foreground@z900" ] ||
      fail "GNOME Shell $version: $place -> $(readlink "$place" || echo nothing), not the $form form"
  else
    [ ! -e "$place" ] && [ ! -L "$place" ] || fail "GNOME Shell '$version': a link is left"
  fi
done
Z900_ROOT=$root "$script" link 46
Z900_ROOT=$root "$script" unlink
[ ! -L "$place" ] || fail "unlink left the link"
mkdir -p "$place"
Z900_ROOT=$root "$script" link 46 2>/dev/null
Z900_ROOT=$root "$script" unlink
[ -d "$place" ] && [ ! -L "$place" ] || fail "a folder that is not ours was touched"
echo "$script: the form GNOME Shell loads, and only our link taken away"
