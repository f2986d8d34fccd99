#!/usr/bin/env bash
# Sets everything up and runs every test under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

build="$root/build-asan"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERO_SANITIZE=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Leak checking stays on; the suppressions name only Qt's offscreen platform
# plugin, which keeps its screen objects until exit.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/ubsan.supp"

# A bounded fuzz run of every parser of untrusted input (clang, libFuzzer,
# in its own build-fuzz); a crash fails the run. Its chatter goes to a log
# that is shown only when something was found.
fuzz_log="$root/build-fuzz/fuzz.log"
mkdir -p "$root/build-fuzz"
if ! scripts/fuzz.sh >"$fuzz_log" 2>&1; then
    tail -n 80 "$fuzz_log"
    echo "fuzz: FAILED; the log is $fuzz_log, a crashing input is in $root/build-fuzz/artifacts"
    exit 1
fi
grep '^fuzz: ' "$fuzz_log"

# Last, so that its summary closes the output.
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" "$@"
