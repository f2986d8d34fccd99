#!/usr/bin/env bash
# Builds the benchmark programs optimised, in a build directory of their own,
# and prints the host performance table. Arguments go to merobench
# (--seconds N per phase, --soak N seconds of sweeping, --launches N).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

build="$root/build-bench"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target oskiro-mero mero-sim merobench

# The program's own log lines go to a file; the table to the terminal.
log="$build/merobench.log"
QT_QPA_PLATFORM=offscreen "$build/bench/merobench" "$@" 2>"$log"
echo "bench: log lines in $log"
