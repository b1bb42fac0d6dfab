#!/usr/bin/env bash
# Start-up cost of the tray utility against a minimal Qt tray program, both started the same way
# on a private X server (Xvfb) with a tray host (trayer): the time from the start until the tray
# icon is embedded (median of RUNS), the peak resident memory, the first show (from the second
# click of a double click on the icon until the window is on the screen as it finally looks,
# median of RUNS fresh starts), and the processor time used over 10 s while hidden and idle.
# Goals, as ratios to the yardstick taken in the same run: to the tray at most 1.5×, peak memory
# at most 1.6×; the first show under 150 ms; no processor time while hidden.
#   bench/startup_bench.sh [BUILD_DIR]
#   (default build/default; build z900-config, minimal_tray and first_show_probe)
set -euo pipefail
build=${1:-build/default}
runs=${RUNS:-5}
utility=$build/bin/z900-config
yardstick=$build/bin/minimal_tray
probe=$build/bin/first_show_probe
for program in "$utility" "$yardstick" "$probe"; do
  [[ -x $program ]] || { echo "missing $program: cmake --build $build --target z900-config minimal_tray first_show_probe" >&2; exit 1; }
done
for tool in Xvfb trayer xwininfo xdotool; do
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

# start NAME PROGRAM ARGS...: starts it, waits for its tray icon; sets $started (pid) and
# $to_tray (ms). Every run of a program finds the files that its first run left, as every login
# after the first does.
start() {
  local name=$1; shift
  export Z900_HOME=$work/home-$name
  local begin; begin=$(now_ms)
  "$@" >/dev/null 2>&1 &
  started=$!
  pids+=($started)
  for _ in $(seq 4000); do
    if (( $(icons) > empty )); then
      to_tray=$(( $(now_ms) - begin ))
      return
    fi
  done
  echo "$name: no tray icon" >&2
  exit 1
}

stop() {
  kill -TERM "$1"
  wait "$1" 2>/dev/null || true
  while (( $(icons) > empty )); do sleep 0.01; done
}

# The middle of the (only) icon in the tray.
icon_centre() {
  local icon; icon=$(xwininfo -tree -id "$panel" | awk '/\("/ {print $1; exit}')
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  echo "$(( X + WIDTH / 2 )) $(( Y + HEIGHT / 2 ))"
}

# measure NAME PROGRAM ARGS...: prints "NAME median_ms peak_kb idle_ticks"
measure() {
  local name=$1; shift
  local times=() peak=0 idle=0
  for run in $(seq "$runs"); do
    start "$name" "$@"
    times+=("$to_tray")
    if (( run == runs )); then
      sleep 1  # let start-up work end before idling is measured
      local before; before=$(ticks $started)
      sleep 10
      idle=$(( $(ticks $started) - before ))
    fi
    local hwm; hwm=$(awk '/VmHWM/ {print $2}' "/proc/$started/status")
    (( hwm > peak )) && peak=$hwm
    stop "$started"
  done
  local median; median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$name $median $peak $idle"
}

# first_show NAME TITLE PROGRAM ARGS...: prints "NAME median_ms" of the first show of RUNS fresh
# starts, after one start that records how the shown window looks.
first_show() {
  local name=$1 title=$2; shift 2
  local look=$work/look-$name times=()
  for run in $(seq 0 "$runs"); do
    start "show-$name" "$@"
    sleep 1  # the user double-clicks once the utility has settled in the tray
    read -r x y < <(icon_centre)
    xdotool mousemove --sync "$x" "$y" click 1
    if (( run == 0 )); then
      xdotool click 1
      "$probe" "$title" reference "$look" || { echo "$name: no window" >&2; exit 1; }
    else
      local shown
      shown=$("$probe" "$title" measure "$look" xdotool click 1) || { echo "$name: no window" >&2; exit 1; }
      times+=("$shown")
    fi
    stop "$started"
  done
  local median; median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$name $median"
}

read -r _ base_ms base_kb base_idle < <(measure minimal "$yardstick")
read -r _ util_ms util_kb util_idle < <(measure z900-config "$utility" --simulate)
read -r _ base_show < <(first_show minimal "minimal tray window" "$yardstick")
read -r _ util_show < <(first_show z900-config "Z900 Mouse Configuration" "$utility" --simulate)
awk -v hz="$(getconf CLK_TCK)" -v bm="$base_ms" -v bk="$base_kb" -v bi="$base_idle" \
    -v bs="$base_show" -v um="$util_ms" -v uk="$util_kb" -v ui="$util_idle" -v us="$util_show" \
    -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "%-14s %12s %14s %16s %20s\n", "program", "to tray (ms)", "peak RSS (MB)",
         "first show (ms)", "CPU hidden 10 s (ms)"
  printf "%-14s %12d %14.1f %16d %20d\n", "minimal_tray", bm, bk / 1024, bs, bi * 1000 / hz
  printf "%-14s %12d %14.1f %16d %20d\n", "z900-config", um, uk / 1024, us, ui * 1000 / hz
  idle = bi == 0 ? (ui == 0 ? "-" : "inf") : sprintf("%.2f", ui / bi)
  printf "%-14s %12.2f %14.2f %16.2f %20s\n", "ratio", um / bm, uk / bk, us / bs, idle
  printf "%-14s %12s %14s %16s %20s\n", "goal", "<= 1.50", "<= 1.60", "< 150 ms", "0 ms"
  printf "load average: %s\n", load
}'
