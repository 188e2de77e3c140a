#!/usr/bin/env bash
# A short crash test: the metering program killed 20 times (bench/crash_test.sh runs 200).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build build --target crash_test tarv > /dev/null
build/bench/crash_test build/bin/tarv "${TARV_CRASH_KILLS:-20}"
