#!/usr/bin/env bash
# Builds the program and the crash test, then kills the metering program N times (200 by default)
# and prints what the ledger looked like after the kills.
set -euo pipefail
cd "$(dirname "$0")/.."
KILLS="${1:-200}"
BUILD="${TARV_BUILD:-build}"
cmake -S . -B "$BUILD" -G Ninja > /dev/null
cmake --build "$BUILD" -j "$(nproc)" --target tarv crash_test
"$BUILD/bench/crash_test" "$BUILD/bin/tarv" "$KILLS"
