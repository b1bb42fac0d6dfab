#!/usr/bin/env bash
# Start-up cost of the tray utility against a minimal Qt tray program, both started the same way
# on a private X server (Xvfb) with a tray host (trayer): the time from the start until the tray
# icon is embedded (median of RUNS), the peak resident memory, and the processor time used over
# 10 s while hidden and idle. Goals: under 300 ms, under 60 MB, no processor time while idle.
#   bench/startup_bench.sh [BUILD_DIR]   (default build/default; build z900-config, minimal_tray)
set -euo pipefail
build=${1:-build/default}
runs=${RUNS:-5}
utility=$build/bin/z900-config
yardstick=$build/bin/minimal_tray
for program in "$utility" "$yardstick"; do
  [[ -x $program ]] || { echo "missing $program: cmake --build $build --target z900-config minimal_tray" >&2; exit 1; }
done
for tool in Xvfb trayer xwininfo; do
  command -v $tool >/dev/null || { echo "missing $tool: tools/install-deps.sh" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 9 -nolisten tcp -screen 0 1280x800x24 9>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$work/display")
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
pids+=($!)
panel=""
for _ in $(seq 200); do
  panel=$(xwininfo -root -tree | awk '/("panel" "trayer")/ {print $1; exit}')
  [[ -n $panel ]] && break
  sleep 0.05
done
[[ -n $panel ]] || { echo "trayer did not start" >&2; exit 1; }
icons() { xwininfo -tree -id "$panel" | grep -c '("' || true; }
empty=$(icons)

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# measure NAME PROGRAM ARGS...: prints "NAME median_ms peak_kb idle_ticks"
measure() {
  local name=$1; shift
  local times=() peak=0 idle=0
  for run in $(seq "$runs"); do
    export Z900_HOME=$work/home-$name-$run
    local start; start=$(now_ms)
    "$@" >/dev/null 2>&1 &
    local pid=$!
    pids+=($pid)
    local embedded=0
    for _ in $(seq 4000); do
      if (( $(icons) > empty )); then embedded=1; break; fi
    done
    (( embedded )) || { echo "$name: no tray icon" >&2; exit 1; }
    times+=($(( $(now_ms) - start )))
    if (( run == runs )); then
      sleep 1  # let start-up work end before idling is measured
      local before; before=$(ticks $pid)
      sleep 10
      idle=$(( $(ticks $pid) - before ))
    fi
    local hwm; hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
    (( hwm > peak )) && peak=$hwm
    kill -TERM $pid
    wait $pid 2>/dev/null || true
    while (( $(icons) > empty )); do sleep 0.01; done
  done
  local median; median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$name $median $peak $idle"
}

read -r _ base_ms base_kb base_idle < <(measure minimal "$yardstick")
read -r _ util_ms util_kb util_idle < <(measure z900-config "$utility" --simulate)
awk -v hz="$(getconf CLK_TCK)" -v bm="$base_ms" -v bk="$base_kb" -v bi="$base_idle" \
    -v um="$util_ms" -v uk="$util_kb" -v ui="$util_idle" 'BEGIN {
  printf "%-14s %12s %14s %20s\n", "program", "to tray (ms)", "peak RSS (MB)", "CPU idle 10 s (ms)"
  printf "%-14s %12d %14.1f %20d\n", "minimal_tray", bm, bk / 1024, bi * 1000 / hz
  printf "%-14s %12d %14.1f %20d\n", "z900-config", um, uk / 1024, ui * 1000 / hz
  printf "%-14s %12.2f %14.2f\n", "ratio", um / bm, uk / bk
}'
