#!/usr/bin/env bash
# Sets everything up, builds and starts the application. Arguments are
# passed on to it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

build="$root/build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"

app="$build/src/oskiro-mero"
data="$root/run-data"
mkdir -p "$data"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display found; starting offscreen, unattended, for five seconds"
    QT_QPA_PLATFORM=offscreen timeout 5 "$app" --data-dir "$data" --unattended "$@" || true
    echo "run: log files are in $data/logs"
else
    exec "$app" --data-dir "$data" "$@"
fi
