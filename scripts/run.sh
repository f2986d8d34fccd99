#!/usr/bin/env bash
# Sets everything up, builds and starts the application against the bundled
# device simulator. Arguments are passed on to it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

build="$root/build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target oskiro-mero mero-sim

app="$build/src/oskiro-mero"
data="$root/run-data"
mkdir -p "$data"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    picture="$data/oskiro-mero.png"
    rm -f "$picture"
    echo "run: no display found; sweeping the simulated device offscreen once"
    status=0
    QT_QPA_PLATFORM=offscreen timeout 120 "$app" --data-dir "$data" --simulate --screenshot "$picture" "$@" \
        || status=$?
    if [ -f "$picture" ]; then
        echo "run: picture of the window: $picture"
    else
        echo "run: no picture was taken (exit status $status)" >&2
    fi
    echo "run: log files are in $data/logs"
    exit "$status"
else
    exec "$app" --data-dir "$data" --simulate "$@"
fi
