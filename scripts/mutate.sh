#!/usr/bin/env bash
# Plants about sixty faults in src/ one at a time, rebuilds what each one
# changes in a private copy (build-mutate/), runs the suites that cover its
# folder and prints each fault killed or survived, then the kill rate.
# Not part of the test command: it takes about half an hour on two cores.
#   scripts/mutate.sh            # the fixed draw (seed 2026)
#   scripts/mutate.sh --list     # only print the faults
#   scripts/mutate.sh --only 7 12
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec python3 scripts/mutate.py "$@"
