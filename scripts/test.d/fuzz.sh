#!/usr/bin/env bash
# A short run of every fuzz target (the long runs are fuzz/run.sh with its default of 600 s).
set -euo pipefail
cd "$(dirname "$0")/../.."
exec fuzz/run.sh "${TARV_FUZZ_SECONDS:-30}"
