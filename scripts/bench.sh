#!/usr/bin/env bash
# make bench: the program's figures against the simulated module.
#
#  1. Line: one poll and one upload per model against fernwell-sim pacing its output at the
#     line's baud rate, each beside its floor (fernwell-bench line).
#  2. Soak: BENCH_POLLS polls in a row (default 20000) per model against fernwell-sim --fast,
#     with resident memory and open descriptors along the way (fernwell-bench soak).
#  3. CPU: the real fernwell program (offscreen) with "Auto Update" on against a paced
#     simulator; the CPU time it uses during BENCH_CPU_SECONDS (default 30) read from
#     /proc/<pid>/stat.
#  4. Alarm window: BENCH_ALARM_CYCLES (default 100000) lamp refreshes of the alarm status
#     window and a few hundred real ones, with resident memory and descriptors (alarm_refresh).
#  6. Scale: BENCH_SCALE_MODULES (default 32) paced simulators, 612 and 640 alternating,
#     watched by one fernwell-cli for BENCH_SCALE_SECONDS (default 60) (scripts/bench-scale.sh).
#
# Everything runs in a scratch settings home (XDG_CONFIG_HOME) whose ports directory holds the
# simulator as COM1; the user's own ports and settings are never touched.
#
# Usage: scripts/bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail

build=${1:-build}
polls=${BENCH_POLLS:-20000}
cpu_seconds=${BENCH_CPU_SECONDS:-30}
alarm_cycles=${BENCH_ALARM_CYCLES:-100000}
alarm_real=${BENCH_ALARM_REAL:-300}
stall_seconds=${BENCH_STALL_SECONDS:-60}
bin="$build/bin"

cmake --build "$build" --target fernwell-bench alarm_refresh fernwell fernwell-sim

home=$(mktemp -d "${TMPDIR:-/tmp}/fernwell-bench-XXXXXX")
sim_pid=
app_pid=
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
  fi
}
cleanup() {
  if [ -n "$app_pid" ]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  stop_sim
  rm -rf "$home"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
export XDG_CONFIG_HOME="$home"
export QT_QPA_PLATFORM=offscreen

# Starts fernwell-sim as COM1 with the given switches and waits for its device path.
start_sim() {
  stop_sim
  : >"$home/sim.out"
  "$bin/fernwell-sim" --port 1 --ports-dir "$home/fernwell/ports" "$@" \
    >"$home/sim.out" 2>"$home/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    if [ "$(wc -l <"$home/sim.out")" -ge 1 ]; then
      return 0
    fi
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "bench: fernwell-sim did not start:" >&2
  cat "$home/sim.err" >&2
  exit 1
}

# utime + stime of a process, in clock ticks (fields 14 and 15 of /proc/<pid>/stat; the
# program name in parentheses may hold spaces, so count from the closing one).
cpu_ticks() {
  local stat
  stat=$(<"/proc/$1/stat")
  stat=${stat##*) }
  awk '{ print $12 + $13 }' <<<"$stat"
}

echo "Fernwell benchmark, $(date '+%Y-%m-%d %H:%M %Z')"
echo "Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo

echo "== 1. Line: one poll (median of 5) and one upload, fernwell-sim pacing at the baud rate"
start_sim --model auto
"$bin/fernwell-bench" line
echo

echo "== 2. Soak: $polls polls in a row per model, fernwell-sim --fast"
start_sim --model auto --fast
"$bin/fernwell-bench" soak --model 612 --polls "$polls"
"$bin/fernwell-bench" soak --model 640 --polls "$polls"
echo

echo "== 3. CPU of fernwell during $cpu_seconds s of Auto Update (polls every 3 s, module answering)"
start_sim --model auto
"$bin/fernwell" &
app_pid=$!
sleep 5  # start-up: the port's 500 ms open, the first poll at 3 s
if ! kill -0 "$app_pid" 2>/dev/null; then
  echo "bench: fernwell ended early" >&2
  exit 1
fi
tck=$(getconf CLK_TCK)
before=$(cpu_ticks "$app_pid")
sleep "$cpu_seconds"
after=$(cpu_ticks "$app_pid")
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=
awk -v t=$((after - before)) -v hz="$tck" -v s="$cpu_seconds" 'BEGIN {
  ms = t * 1000 / hz
  printf "fernwell: %.0f ms of CPU in %d s (%.2f %% of one CPU, %.0f ms per 3 s poll period)\n",
         ms, s, ms / (s * 10), ms * 3 / s
}'

echo
echo "== 4. Alarm status window: $alarm_cycles lamp refreshes, then real ones over the line"
stop_sim
"$bin/alarm_refresh" --cycles "$alarm_cycles" --real "$alarm_real"

echo
echo "== 5. Stalls of the window's event loop: $stall_seconds s per case, fernwell-sim pacing at the baud rate"
start_sim --model auto
"$bin/fernwell-bench" stall --seconds "$stall_seconds"

echo "== 6. Scale: many simulated modules watched by one fernwell-cli"
scripts/bench-scale.sh "$build"
