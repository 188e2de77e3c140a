#!/usr/bin/env bash
# Starts the real program as a new user would, under Xvfb: no window may be visible, data.dat
# must appear beside the executable with today's record, and the autostart entry must exist.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"
e2e_prepare "$1"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1/app/tarv" & PID=$!
    for i in $(seq 1 100); do [ -f "$1/app/data.dat" ] && break; sleep 0.1; done
    sleep 2
    kill -0 $PID || { echo "the program ended by itself"; exit 1; }
    visible=$(xdotool search --onlyvisible --name "." 2>/dev/null | while read -r w; do
        xdotool getwindowname "$w"; done | grep -c "Χρέωση" || true)
    kill $PID; wait $PID 2>/dev/null || true
    [ "$visible" = "0" ] || { echo "a window of the program is visible"; exit 1; }
' _ "$WORK"

test -f "$WORK/app/data.dat" || { echo "data.dat was not created"; exit 1; }
size=$(stat -c %s "$WORK/app/data.dat")
[ "$size" = "119" ] || { echo "data.dat is $size bytes, not 119"; exit 1; }
key=$(date +%y%m%d)
tail -c 15 "$WORK/app/data.dat" | grep -q "^$key|0000,000$" || { echo "no record for today"; exit 1; }
entry="$WORK/config/autostart/Tarv.desktop"
test -f "$entry" || { echo "no autostart entry"; exit 1; }
grep -q "^Exec=\"$WORK/app/tarv\"$" "$entry" || { echo "wrong Exec in the autostart entry"; cat "$entry"; exit 1; }
echo "e2e startup: ok"
