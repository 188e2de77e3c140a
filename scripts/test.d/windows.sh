#!/usr/bin/env bash
# The Windows platform layer: cross-compiles it and its test program with mingw-w64 (64-bit, plus a
# 32-bit compile that checks the record layouts), then runs the tests under Wine in a fresh prefix.
# Works headless: under Xvfb when it is there, else without a display (the shell test is skipped).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT="$PWD"
OUT="$ROOT/build-windows/cross"
START=$SECONDS

for tool in x86_64-w64-mingw32-g++ i686-w64-mingw32-g++ wine wineserver make; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "windows.sh: $tool is missing; run ./scripts/install-deps" >&2
        exit 1
    fi
done

echo "windows.sh: cross-compiling"
make -s -C tests/windows OUT="$OUT" -j "$(nproc)"
if QT_CFLAGS="$(pkg-config --cflags-only-I Qt6Core 2>/dev/null)" && [ -n "$QT_CFLAGS" ]; then
    make -s -C tests/windows OUT="$OUT" QT_CFLAGS="$QT_CFLAGS" adapters
else
    echo "windows.sh: no Qt headers found; the Qt adapters are not checked"
fi

WINEPREFIX="$(mktemp -d /tmp/tarv-wine.XXXXXX)"
LOG="$WINEPREFIX.log"
# The tests swap stand-in libraries in the fresh prefix and beside the program: a copy of their own.
RUN="$WINEPREFIX.run"
mkdir -p "$RUN"
cp -r "$OUT/tarv-windows-tests.exe" "$OUT/standins" "$RUN/"
export WINEPREFIX
# Quiet, no Mono or Gecko installers, and the stand-in rasapi32.dll rather than Wine's own: the
# program loads it from the system folder only, where the tests put it (the prefix is theirs).
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;rasapi32=n"
export WINEARCH=win64
# A locale whose code page is not Greek's (1253): the icon's Greek tip must not depend on it.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$LOG" "$RUN"
}
trap cleanup EXIT

run_headless() { timeout 240 wine "$RUN/tarv-windows-tests.exe" "$@"; }
# The program's own exit status, kept apart from xvfb-run's, which also reports the X server's end.
run_on_xvfb() {
    rm -f "$RUN/status"
    xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" \
        sh -c 'timeout 240 wine "$@"; echo $? >"'"$RUN/status"'"' sh "$RUN/tarv-windows-tests.exe" "$@" || true
    [ -s "$RUN/status" ] || return 125
    return "$(cat "$RUN/status")"
}

echo "windows.sh: running the tests under Wine"
status=0
if command -v xvfb-run >/dev/null 2>&1; then
    run_on_xvfb "$@" 2>"$LOG" || status=$?
    # Without a working X server the tests still run; only the shell's own test is skipped then.
    if [ "$status" -eq 125 ]; then
        echo "windows.sh: Xvfb did not start; running without a display"
        status=0
        run_headless "$@" 2>"$LOG" || status=$?
    fi
else
    run_headless "$@" 2>"$LOG" || status=$?
fi
if [ "$status" -ne 0 ]; then
    echo "windows.sh: the tests under Wine failed (exit $status); Wine said:" >&2
    grep -v -e 'syswow64' -e 'configuration in' -e 'X connection to' "$LOG" >&2 || true
    exit 1
fi
echo "windows.sh: passed in $((SECONDS - START)) s"
