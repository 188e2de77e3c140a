#!/usr/bin/env bash
# The command line's cost beside a small C program's `--version`: `tarv --version`, `--status`
# (with the program running) and `--report --year` on a ledger of 100,000 records, several runs
# each, side by side, and the processor time the running program spends answering. Usage, from a
# build folder:
#
#     ../bench/cli.sh [rounds]
set -euo pipefail
ROUNDS="${1:-21}"
BUILD="$(pwd)"
[ -x "$BUILD/bin/tarv" ] && [ -x "$BUILD/bench/bench_cli" ] || { echo "run from a build folder with bin/tarv and bench/bench_cli built"; exit 1; }

# The reference: vnstat's command line, installed when missing and possible, else the system's true.
if ! command -v vnstat > /dev/null 2>&1 && [ "$(id -u)" -eq 0 ] && command -v apt-get > /dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q vnstat > /dev/null 2>&1 || true
fi
if command -v vnstat > /dev/null 2>&1; then REFERENCE="$(command -v vnstat) --version"; else REFERENCE="$(command -v true)"; fi

WORK="$(mktemp -d)"
PROGRAM=""
trap '[ -n "$PROGRAM" ] && kill "$PROGRAM" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/app" "$WORK/run" "$WORK/home"
chmod 700 "$WORK/run"
cp "$BUILD/bin/tarv" "$WORK/app/tarv"
# 100,000 records of consecutive days, two-digit years repeating after a century.
python3 - "$WORK/app/data.dat" <<'PY'
import datetime, sys
header = b"8|22|270|540|9|\xc4\xf1\xf7".ljust(100, b" ")
day, lines = datetime.date(1830, 1, 1), [header, b""]
for i in range(100000):
    lines.append(day.strftime("%y%m%d").encode() + b"|" + ("%08.3f" % (1 + i % 97 * 0.5)).replace(".", ",").encode())
    day += datetime.timedelta(days=1)
open(sys.argv[1], "wb").write(b"\r\n".join(lines))
PY

export LANG=el_GR.UTF-8 HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/home/config"
export TARV_MAKER_URL=http://127.0.0.1:9/
# The program without a display or a system bus: it meters pppd's links and answers --status.
QT_QPA_PLATFORM=offscreen DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent "$WORK/app/tarv" > /dev/null 2>&1 &
PROGRAM=$!
for _ in $(seq 1 100); do "$WORK/app/tarv" --status > /dev/null 2>&1 && break; sleep 0.1; done
"$WORK/app/tarv" --status > /dev/null || { echo "the program did not answer"; exit 1; }

# The program's own share: the processor time of all its threads, before and after.
program_ns() { cat /proc/"$PROGRAM"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%d", n }'; }
BEFORE="$(program_ns)"
"$BUILD/bench/bench_cli" "$ROUNDS" "\`${REFERENCE##*/}\`" "$REFERENCE" \
    '`tarv --version`' "$WORK/app/tarv --version" \
    '`tarv --status`' "$WORK/app/tarv --status" \
    '`tarv --report --year 2003`' "$WORK/app/tarv --report --year 2003"
AFTER="$(program_ns)"
# Each round asks the program twice: --status and --report.
awk -v b="$BEFORE" -v a="$AFTER" -v n="$((2 * ROUNDS))" \
    'BEGIN { printf "\nThe running program answered %d commands in %.3f ms of its processor time, %.3f ms each.\n", n, (a - b) / 1e6, (a - b) / 1e6 / n }'
