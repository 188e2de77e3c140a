#!/usr/bin/env bash
# Runs the footprint benchmark on a display of its own with a tray: Xvfb and trayer, as a
# desktop session would have them; then the statistics scans beside a plain read. Usage, from the
# build folder (a RelWithDebInfo build):
#
#     ../bench/footprint.sh [idle seconds]
set -euo pipefail
BENCH="$(pwd)/bench/bench_memory"
STATS="$(pwd)/bench/bench_stats"
[ -x "$BENCH" ] && [ -x "$STATS" ] || { echo "run from a build folder with bench/bench_memory and bench/bench_stats built"; exit 1; }
export LANG=el_GR.UTF-8
export TARV_MAKER_URL=http://127.0.0.1:9/
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    trayer --edge top --align right --widthtype pixel --width 200 --height 24 & TRAY=$!
    trap "kill $TRAY 2>/dev/null" EXIT
    sleep 1
    "$1" "${@:2}"
' _ "$BENCH" "$@"
echo
QT_QPA_PLATFORM=offscreen "$STATS"
