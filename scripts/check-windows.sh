#!/usr/bin/env bash
# CI: the Qt-free core and fernwell-cli built for Windows with mingw-w64 (`make windows`) and
# run under Wine: first the core's test programs, then fernwell-cli.exe against the Linux
# fernwell-sim, whose pseudo-terminal Wine presents as a COM port (a link comN in the prefix's
# dosdevices folder). Needs the Linux build for the simulator (argument 1, default build/).
#
# One throw-away Wine prefix for the whole stage (making it is the slow part), no display.
# Every Wine call runs under a time limit. Ends with a summary line of the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux_build=${1:-build}
win_build=${WIN_BUILD:-build-win}
bin=$root/$win_build/bin
sim=$root/$linux_build/bin/fernwell-sim

make windows WIN_BUILD="$win_build"

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all DISPLAY= WAYLAND_DISPLAY=
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    timeout 30 wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

echo "== Wine prefix =="
start=$(date +%s)
if ! timeout 180 wineboot -i >"$scratch/wineboot.log" 2>&1; then
    cat "$scratch/wineboot.log"
    echo "wineboot failed"
    exit 1
fi
echo "made in $(($(date +%s) - start)) s ($(wine --version))"

failures=0

echo "== Core tests under Wine =="
tests_run=0 tests_passed=0 tests_skipped=0 tests_failed=0
count() {  # the number in gtest's summary line "[  <word>  ] N test(s)", or 0
    sed -n "s/^\[ *$1 *\] \([0-9][0-9]*\) tests\?[,.].*/\1/p" "$2" | head -1 | grep . || echo 0
}
for exe in "$bin"/*_tests.exe; do
    name=$(basename "$exe")
    log=$scratch/$name.log
    status=0
    timeout 300 wine "$exe" >"$log" 2>&1 || status=$?
    run=$(sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\? from .* ran\..*/\1/p' "$log")
    passed=$(count PASSED "$log") skipped=$(count SKIPPED "$log") failed=$(count FAILED "$log")
    if [ "$status" -ne 0 ] || [ -z "$run" ] || [ "$failed" -ne 0 ]; then
        cat "$log"
        echo "FAIL $name: exit $status, ${run:-no} tests run, $failed failed"
        failures=$((failures + 1))
        [ -n "$run" ] || run=0
    else
        grep '^\[  SKIPPED \] [A-Za-z]' "$log" || true
        echo "ok   $name: $run run, $passed passed, $skipped skipped"
    fi
    tests_run=$((tests_run + run)) tests_passed=$((tests_passed + passed))
    tests_skipped=$((tests_skipped + skipped)) tests_failed=$((tests_failed + failed))
done

echo "Windows: $tests_run tests run under Wine, $tests_passed passed, $tests_skipped skipped," \
     "$tests_failed failed"
if [ "$failures" -ne 0 ]; then
    echo "Windows stage: $failures failure(s)"
    exit 1
fi
