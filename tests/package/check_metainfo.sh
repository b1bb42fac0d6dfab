#!/usr/bin/env bash
# The AppStream metadata: valid without the network (infos and pedantic notes are allowed), and
# offering the utility for the mouse's USB id.
set -euo pipefail
. "$(dirname "$0")/need_tool.sh"
need appstreamcli
file=$1
appstreamcli validate --no-net "$file"
grep -q '<modalias>usb:v5E1Dp0E37d\*</modalias>' "$file" || {
  echo "$file does not provide the modalias of the mouse" >&2
  exit 1
}
