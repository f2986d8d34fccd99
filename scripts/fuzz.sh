#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each for a bounded time:
# seconds per target from the first argument or MERO_FUZZ_SECONDS (default
# 25, so that the whole run stays near three minutes). Fails when any target
# finds a crash, a hang or a sanitizer report; the input is left in
# build-fuzz/artifacts and the target's log in build-fuzz/logs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-${MERO_FUZZ_SECONDS:-25}}
targets=(framereceiver scanreply devicereplies serverreply calibfile presetini tracefiles)

scripts/setup.sh

build="$root/build-fuzz"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DMERO_BUILD_FUZZ=ON -DMERO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_seedgen "${targets[@]/#/fuzz_}"

corpus="$build/corpus"
artifacts="$build/artifacts"
logs="$build/logs"
mkdir -p "$corpus" "$artifacts" "$logs"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/ubsan.supp"
"$build/fuzz/fuzz_seedgen" "$corpus"

failed=()
for target in "${targets[@]}"; do
    log="$logs/$target.log"
    # A target may bring the words of its input format along.
    dict=()
    [[ -f "fuzz/$target.dict" ]] && dict=(-dict="$root/fuzz/$target.dict")
    # The outer limit catches a target that hangs where libFuzzer's own
    # per-input timeout cannot see it (start-up, shutdown).
    if timeout $((seconds + 120)) "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
           -rss_limit_mb=2048 "${dict[@]}" -artifact_prefix="$artifacts/$target-" "$corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log")
        echo "fuzz: $target: ${runs:-?} inputs in ${seconds}s, no crash"
    else
        tail -n 60 "$log"
        echo "fuzz: $target: FAILED; the log is $log, the input in $artifacts"
        failed+=("$target")
    fi
done
if ((${#failed[@]})); then
    echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}"
    exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran ${seconds}s each without a crash"
