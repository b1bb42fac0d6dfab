#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the utility (for now: the simulated mouse's info).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
exec build/default/bin/z900ctl --simulate info "$@"
