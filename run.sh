#!/usr/bin/env bash
# Sets up what is missing, builds, and starts the tray utility with its window open: on the
# connected Z900, or on the simulated mouse when none is connected. Without a display it runs
# the command-line demo instead. Arguments go to z900-config (or, without a display, z900ctl).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
bin=build/default/bin

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "run.sh: no display here, so no tray utility; the command-line demo on the simulated mouse:"
  exec "$bin/z900ctl" --simulate info "$@"
fi
simulate=()
if ! "$bin/z900ctl" info >/dev/null 2>&1; then
  echo "run.sh: no Z900 mouse is connected; starting z900-config with the simulated mouse (--simulate)."
  echo "run.sh: press its buttons from another terminal: $bin/z900ctl --simulate sim press 6"
  simulate=(--simulate)
fi
exec "$bin/z900-config" "${simulate[@]}" --show "$@"
