#!/usr/bin/env bash
# make demo: the program against the simulated module.
#
# fernwell-sim (model auto: a 612 at 1200 baud, a 640 at 4800) runs on a pseudo-terminal linked
# as COM1 in a scratch ports directory, and the program runs with a scratch settings home
# (XDG_CONFIG_HOME), so the user's own ports and settings are never read or written. The
# simulator is stopped when the program ends (or the script is interrupted).
#
# Without a display there is no window to open: the script says so and shows ten live
# readings from the simulator with fernwell-cli instead.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default: build)
set -euo pipefail

build=${1:-build}
bin="$build/bin"
for program in fernwell-sim fernwell; do
  if [ ! -x "$bin/$program" ]; then
    echo "demo: $bin/$program is missing; build it first (make build)" >&2
    exit 1
  fi
done

headless=
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  headless=1
  if [ ! -x "$bin/fernwell-cli" ]; then
    echo "No display (DISPLAY and WAYLAND_DISPLAY are unset), and $bin/fernwell-cli, which would show live readings instead, is missing; build it first (make build)." >&2
    exit 1
  fi
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/fernwell-demo-XXXXXX")
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$home"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

export XDG_CONFIG_HOME="$home"
"$bin/fernwell-sim" --model auto --port 1 --ports-dir "$home/fernwell/ports" \
  >"$home/sim.out" 2>"$home/sim.err" &
sim_pid=$!

# Its first line is the device path; the comN link exists once it is printed.
device=
for _ in $(seq 100); do
  if [ "$(wc -l <"$home/sim.out")" -ge 1 ]; then
    device=$(head -n 1 "$home/sim.out")
    break
  fi
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$device" ]; then
  echo "demo: fernwell-sim did not start:" >&2
  cat "$home/sim.err" >&2
  exit 1
fi
echo "Simulated module on $device, linked as COM1 in $home/fernwell/ports"

if [ -n "$headless" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): no window can open here; ten live readings from the module instead."
  "$bin/fernwell-cli" --port 1 watch --count 10 --interval 1
  exit 0
fi

echo "Starting fernwell: it comes up online on COM1 and polls every 3 s. Choose Device > 642"
echo "to watch the alarm lamps; the simulator stops when the program ends."
"$bin/fernwell"
