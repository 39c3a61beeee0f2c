#!/usr/bin/env bash
# Fuzzes the module reply decoders with libFuzzer under AddressSanitizer and UBSan.
#   scripts/fuzz.sh [SECONDS]     (default 60)
# Builds fuzz/ on its own with clang in build-fuzz/ (no Qt needed), seeds the corpus with
# well-formed replies of both models, runs for SECONDS and fails on any crash; the crashing
# input is left in build-fuzz/ as crash-*.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
build=${FERNWELL_FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target fuzz_decoders

# Seeds: dumps of both models (line 0 the echo, CR LF after every line), single-value replies.
seeds="$build/seeds"
corpus="$build/corpus"
mkdir -p "$seeds" "$corpus"
dump() {  # dump FILE LINE...
  local file=$1
  shift
  : >"$file"
  for line in "$@"; do printf '%s\r\n' "$line" >>"$file"; done
}
dump "$seeds/dump612" v "> SEED 612 DUMP LINE ONE" "REV 3.10" "> 00000612" p \
  "> 7F5926E9" "> 7A71A9FC" "> 80000000" "> 85480000" "> 82480000" "> 84480000" \
  "> 7FC00000" "> 0000ABCD" "> 80500000" "> 05010000" "> 15000000"
dump "$seeds/dump640" v "> SEED 640 DUMP" "REV 2.0" "> 00000640" s \
  "> 7F5926E9" "> 7A71A9FC" "> 7F000000" "> 84480000" "> 82480000" "> 12345678" \
  "> FB000000" "> 84700000" "> 85700000" "> 855C0000" "> 81200000" "> 82200000" \
  "> 02000000" "> 01000000" "> 05000000" "> 0A000000" "> 2C010000" "> FFFF0000"
printf 'f\r\nf=7F000000\r\n' >"$seeds/flow"
printf 'h=05000101\r\n' >"$seeds/high"
printf 'l\r\nl=00 0012A' >"$seeds/low"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$build/fuzz_decoders" -max_total_time="$seconds" -max_len=1025 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$build/" "$corpus" "$seeds"
