#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for the given number of seconds (600 by default) from its checked-in corpus.
# Inputs reach 256 KiB: past four of the socket component's 64 KiB line pieces and past the
# largest page and menu the program takes.
# Prints the executions and findings of every target; exits non-zero on a finding.
#   fuzz/run.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-600}"; shift || true
BUILD="${TARV_FUZZ_BUILD:-build-fuzz}"

CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARV_FUZZ=ON \
    -DTARV_BUILD_TESTS=OFF > /dev/null
TARGETS=("$@")
if [ "${#TARGETS[@]}" -eq 0 ]; then
    TARGETS=($(sed -n 's/^tarv_add_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt))
fi
cmake --build "$BUILD" -j "$(nproc)" --target "${TARGETS[@]}"

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
failed=0
for t in "${TARGETS[@]}"; do
    corpus="fuzz/corpus/${t#fuzz_}"
    work="$(mktemp -d)"
    artifacts="$BUILD/fuzz-findings/$t/"
    mkdir -p "$artifacts"
    log="$work/log"
    set +e
    "$BUILD/fuzz/$t" -max_total_time="$SECONDS_EACH" -max_len=262144 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts" -print_final_stats=1 "$work" "$corpus" > "$log" 2>&1
    rc=$?
    set -e
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    findings=$(find "$artifacts" -type f | wc -l)
    echo "fuzz: $t: ${execs:-?} executions in ${SECONDS_EACH}s, $findings findings, exit $rc"
    if [ $rc -ne 0 ] || [ "$findings" -ne 0 ]; then
        failed=1
        tail -40 "$log"
    fi
    rm -rf "$work"
done
exit $failed
