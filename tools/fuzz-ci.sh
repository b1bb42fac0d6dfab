#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each on a copy of its committed seeds for a
# while (60 s unless told otherwise). A crash, a sanitizer's report, a leak, an input that takes
# too long or a failed check of a target fails the run; its input is kept under
# build/fuzz/artifacts/. See docs/fuzzing.md.
# Usage: tools/fuzz-ci.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
targets=(xml_document_fuzz macro_record_fuzz sim_state_fuzz)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZ900_BUILD_FUZZ=ON -DZ900_BUILD_TESTS=OFF -DZ900_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# target, seed folder, longest input, further options
fuzz() {
  local target=$1 seeds=$2 max_len=$3
  shift 3
  local corpus=$build/corpus/$target
  mkdir -p "$corpus" "$build/artifacts"
  cp fuzz/corpus/"$seeds"/* "$corpus"/
  local log=$build/$target.log
  local status=0
  "$build/bin/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=25 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$@" "$corpus" \
    >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "$target: FAILED (exit $status) after ${runs:-?} runs; the input is in $build/artifacts/" >&2
    return 1
  fi
  echo "$target: ${runs:-?} runs in ${seconds} s, clean; corpus $(ls "$corpus" | wc -l) inputs"
}

failed=0
fuzz xml_document_fuzz xml_document 8192 -dict=fuzz/xml.dict || failed=1
fuzz macro_record_fuzz macro_record 20000 || failed=1
fuzz sim_state_fuzz sim_state 70000 || failed=1
exit "$failed"
