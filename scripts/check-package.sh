#!/usr/bin/env bash
# CI: the Debian package. Builds it (make package), checks it with lintian (an error fails,
# warnings are printed), unpacks it into a temporary root (dpkg -x) and runs the programs from
# there: fernwell-cli --help, fernwell-sim with a fernwell-cli poll against it, the bash
# completion, and fernwell offscreen for a few seconds, which must poll the simulator and
# still be running when it is stopped.
#
# Usage: scripts/check-package.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

rm -f "$build"/fernwell_*.deb
make --no-print-directory package BUILD="$build"
debs=("$build"/fernwell_*.deb)
deb=${debs[0]}

echo "== lintian $(basename "$deb") =="
lintian --fail-on error "$deb"

root=$(mktemp -d "${TMPDIR:-/tmp}/fernwell-package-XXXXXX")
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() {
  echo "package check: $*" >&2
  exit 1
}

dpkg -x "$deb" "$root/pkg"
bin=$root/pkg/usr/bin
share=$root/pkg/usr/share
for f in bin/fernwell bin/fernwell-cli bin/fernwell-sim \
         share/man/man1/fernwell.1.gz share/man/man1/fernwell-cli.1.gz \
         share/man/man1/fernwell-sim.1.gz share/applications/fernwell.desktop \
         share/icons/hicolor/48x48/apps/fernwell.png share/icons/hicolor/256x256/apps/fernwell.png \
         share/bash-completion/completions/fernwell-cli share/doc/fernwell/copyright; do
  [ -s "$root/pkg/usr/$f" ] || fail "the package lacks /usr/$f"
done
desktop-file-validate "$share/applications/fernwell.desktop"

# A scratch settings home: the simulator's link and the program's settings stay in here.
export XDG_CONFIG_HOME=$root/config
mkdir -p "$XDG_CONFIG_HOME"

help=$("$bin/fernwell-cli" --help) || fail "fernwell-cli --help exited with $?"
[[ $help == "Usage: fernwell-cli "* ]] || fail "fernwell-cli --help printed no usage line"

# The simulator on COM1, where fernwell looks when no port is stored.
"$bin/fernwell-sim" --port 1 --fast --verbose >"$root/sim.out" 2>"$root/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$root/sim.out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$root/sim.out" ] || { cat "$root/sim.err" >&2; fail "fernwell-sim did not start"; }
echo "fernwell-sim on $(head -n 1 "$root/sim.out")"

reading=$("$bin/fernwell-cli" --port 1 poll) || fail "fernwell-cli poll exited with $?"
echo "fernwell-cli poll: $reading"
[[ $reading == "Flow rate: "* ]] || fail "fernwell-cli poll printed \"$reading\""

if [ -f /usr/share/bash-completion/bash_completion ]; then
  scripts/check-completion.sh "$share/bash-completion/completions/fernwell-cli" "$bin"
fi

# fernwell for 6 s: still running when stopped (timeout's 124), and it polled the simulator.
before=$(grep -c '"v' "$root/sim.err" || true)
status=0
QT_QPA_PLATFORM=offscreen timeout 6 "$bin/fernwell" || status=$?
[ "$status" = 124 ] || fail "fernwell ended by itself within 6 s (exit status $status)"
after=$(grep -c '"v' "$root/sim.err" || true)
[ "$after" -gt "$before" ] || fail "fernwell sent no query to the simulator on COM1"
echo "fernwell ran offscreen for 6 s; parameter dumps it asked the simulator for: $((after - before))"
echo "package check passed"
