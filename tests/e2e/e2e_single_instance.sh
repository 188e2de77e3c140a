#!/usr/bin/env bash
# A second start on the same folder shows the running program's window and ends; a start in
# another folder runs beside it.
set -euo pipefail
PROGRAM="$1"
. "$(dirname "$0")/e2e_common.sh"
e2e_prepare "$PROGRAM" other
cp "$PROGRAM" "$WORK/other/tarv"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -u
    visible() { xdotool search --onlyvisible --name "Pelmo" 2>/dev/null | wc -l; }
    "$1/app/tarv" & FIRST=$!
    for i in $(seq 1 100); do [ -f "$1/app/data.dat" ] && break; sleep 0.1; done
    sleep 1
    [ "$(visible)" = "0" ] || { echo "a window is visible at start-up"; kill $FIRST; exit 1; }
    timeout 10 "$1/app/tarv"; rc=$?
    [ $rc = 0 ] || { echo "the second start did not end by itself (rc $rc)"; kill $FIRST; exit 1; }
    kill -0 $FIRST || { echo "the first program ended"; exit 1; }
    for i in $(seq 1 30); do [ "$(visible)" != "0" ] && break; sleep 0.1; done
    [ "$(visible)" = "1" ] || { echo "the running program did not show its window"; kill $FIRST; exit 1; }
    "$1/other/tarv" & OTHER=$!
    sleep 2
    kill -0 $OTHER || { echo "a program in another folder did not start"; kill $FIRST; exit 1; }
    kill $FIRST $OTHER; wait 2>/dev/null
    exit 0
' _ "$WORK"
echo "e2e single instance: ok"
