#!/usr/bin/env bash
# Builds the frame-receiver fuzzer with clang and runs it for a bounded time
# (seconds, default 30). Fails when the fuzzer finds a crash; the crashing
# input is left in build-fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}

scripts/setup.sh

build="$root/build-fuzz"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DMERO_BUILD_FUZZ=ON -DMERO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_framereceiver fuzz_seedgen

corpus="$build/corpus"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/ubsan.supp"
"$build/fuzz/fuzz_seedgen" "$corpus"

"$build/fuzz/fuzz_framereceiver" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" "$corpus"
echo "fuzz: no crash in ${seconds}s"
