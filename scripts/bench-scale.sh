#!/usr/bin/env bash
# The scale figure of `make bench`: BENCH_SCALE_MODULES (default 32) simulated modules, 612
# and 640 alternating, each paced at its line's baud rate on its own pseudo-terminal, watched
# by one `fernwell-cli watch --interval 3` for BENCH_SCALE_SECONDS (default 60). A module's
# slot k is its first poll's start plus 3 k seconds; the figure is how late the latest poll
# start came past its slot, whether every module was polled at every slot, and the CPU time
# and resident memory of the one process.
#
# Odd COM numbers are watched as 612s (1200 baud) and even ones as 640s (4800 baud): one
# process, `--model` before each `--port`. The simulators run --model auto, answering as
# whichever model the line's rate says.
#
# Usage: scripts/bench-scale.sh [BUILD_DIR]
set -euo pipefail

build=${1:-build}
modules=${BENCH_SCALE_MODULES:-32}
seconds=${BENCH_SCALE_SECONDS:-60}
interval=3
bin="$build/bin"
cmake --build "$build" --target fernwell-cli fernwell-sim >/dev/null

home=$(mktemp -d "${TMPDIR:-/tmp}/fernwell-scale-XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$home"
mkdir -p "$home/fernwell/ports"

for n in $(seq 1 "$modules"); do
  "$bin/fernwell-sim" --port "$n" --ports-dir "$home/fernwell/ports" >/dev/null 2>&1 &
  pids+=($!)
done
for n in $(seq 1 "$modules"); do
  for _ in $(seq 100); do [ -e "$home/fernwell/ports/com$n" ] && break; sleep 0.05; done
done

printf '%8s %22s %14s %12s %14s %14s\n' modules "polls/slots" "latest start" "CPU time" \
  "RSS at 10 s" "RSS at end"
for model in mixed; do
  args=()
  for n in $(seq 1 "$modules"); do
    args+=(--model "$([ $((n % 2)) = 1 ] && echo 612 || echo 640)" --port "$n")
  done
  out="$home/watch-$model.json"
  "$bin/fernwell-cli" "${args[@]}" --json watch --interval "$interval" \
    >"$out" 2>"$home/watch-$model.err" &
  watch=$!
  sleep 10
  rss10=$(awk '/VmRSS/ {print $2}' "/proc/$watch/status")
  sleep $((seconds - 10))
  rss_end=$(awk '/VmRSS/ {print $2}' "/proc/$watch/status")
  ticks=$(awk '{print $14 + $15}' "/proc/$watch/stat")
  hz=$(getconf CLK_TCK)
  kill -INT "$watch"
  wait "$watch" || true
  # One JSON line per reading: {"flowRate":..,"port":"COM3","time":"2026-...T10:00:00.123+00:00",..}
  awk -v interval="$interval" -v modules="$modules" -v seconds="$seconds" '
    function epoch(t,   d, hms, s) {
      split(substr(t, 12, 12), hms, ":")
      return hms[1] * 3600 + hms[2] * 60 + hms[3]
    }
    {
      match($0, /"port":"[^"]*"/); port = substr($0, RSTART + 8, RLENGTH - 9)
      match($0, /"time":"[^"]*"/); t = epoch(substr($0, RSTART + 8, RLENGTH - 9))
      if (!(port in first)) { first[port] = t; count[port] = 0 }
      late = t - (first[port] + count[port] * interval)
      if (late > worst) worst = late
      count[port]++
      polls++
    }
    END {
      slots = int((seconds - 1) / interval) + 1
      missing = 0
      for (p in count) if (count[p] < slots) missing++
      printf "%d/%d (%d short) %8.0f ms", polls, modules * slots, missing + modules - length(count), worst * 1000
    }' "$out" >"$home/figure"
  printf '%8d %22s %9.2f s %9d KiB %9d KiB   (errors: %d lines)\n' "$modules" \
    "$(cat "$home/figure")" "$(echo "$ticks / $hz" | bc -l)" "$rss10" "$rss_end" \
    "$(wc -l <"$home/watch-$model.err")"
done
