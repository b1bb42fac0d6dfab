#!/usr/bin/env bash
# The AppStream metadata: valid without the network (infos and pedantic notes are allowed),
# offering the utility for the mouse's USB id, and naming the project's licence (SPDX, $2).
set -euo pipefail
. "$(dirname "$0")/need_tool.sh"
need appstreamcli
file=$1
license=$2
appstreamcli validate --no-net "$file"
grep -q '<modalias>usb:v5E1Dp0E37d\*</modalias>' "$file" || {
  echo "$file does not provide the modalias of the mouse" >&2
  exit 1
}
grep -q "<project_license>$license</project_license>" "$file" || {
  echo "$file does not name the licence $license" >&2
  exit 1
}
