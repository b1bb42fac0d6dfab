#!/usr/bin/env bash
# The menu and autostart entries, as the desktop's own validator reads them: no error, no
# warning, no hint.
set -euo pipefail
. "$(dirname "$0")/need_tool.sh"
need desktop-file-validate
for file in "$@"; do
  silent_or_fail desktop-file-validate "$file" || exit 1
  echo "$file: valid"
done
