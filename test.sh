#!/usr/bin/env bash
# Sets up what is missing, then builds and runs every test under AddressSanitizer and
# UndefinedBehaviorSanitizer; then the Windows build and its tests under Wine
# (tools/windows-tests.sh).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset asan
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)" "$@"
tools/windows-tests.sh
