#!/usr/bin/env bash
# Builds the Qt-free core and its tests with ThreadSanitizer in <build dir> (default
# build-tsan) and runs them. `make tsan` and .ci/run call it.
#
# TSan's runtime (GCC 12's and clang 14's) expects the address layout of older kernels: with
# more than 28 bits of mmap randomisation (vm.mmap_rnd_bits, 32 on many newer kernels) it can
# die at start with "FATAL: ThreadSanitizer: unexpected memory mapping". Running without
# address randomisation (setarch -R, a personality flag the child processes inherit) avoids
# that without touching the machine's settings; where setarch cannot do it (some containers
# refuse the personality call) the tests run as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tsan}
jobs=$(nproc)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFERNWELL_CORE_ONLY=ON -DFERNWELL_TSAN=ON
cmake --build "$build" -j "$jobs"

norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  norandom=(setarch "$(uname -m)" -R)
fi
# halt_on_error: a race fails the test that ran into it, not only prints a report.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
cd "$build"
"${norandom[@]}" ctest --output-on-failure -j "$jobs" --timeout 600
