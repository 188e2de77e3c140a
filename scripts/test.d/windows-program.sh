#!/usr/bin/env bash
# The Windows program: builds it, its installer and its test programs (scripts/build-windows), runs
# the test programs under Wine in a fresh prefix, then installs the program silently there and
# checks it end to end under Xvfb with the stand-in remote-access library: an install for the
# current user, the first-run ledger in %APPDATA%\Tarv, the Run key, the units charged while
# "connected", a double click on the notify icon showing the main window, an upgrade from an older
# version while the program runs and an uninstall while it runs, both keeping the ledger.
# Screenshots go to build-windows/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT="$PWD"
OUT="$ROOT/build-windows"
START=$SECONDS
# shellcheck source=scripts/windows-env.sh
. "$ROOT/scripts/windows-env.sh"

for tool in wine wineserver Xvfb xdotool import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "windows-program.sh: $tool is missing; run ./scripts/install-deps" >&2; exit 1; }
done

TARV_WINDOWS_TESTS=1 "$ROOT/scripts/build-windows"
make -s -C tests/windows OUT="$OUT/cross" "$OUT/cross/standins/full/rasapi32.dll" \
    "$OUT/cross/standins/enumonly/rasapi32.dll"
QT="$(tarv_windows_qt)"
WORK="$(mktemp -d /tmp/tarv-winprog.XXXXXX)"

export WINEPREFIX="$WORK/prefix"
export WINEARCH=win64
# Quiet, no Mono or Gecko installers (there is no network), and no debugger waiting on a crash.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export TARV_MAKER_URL=http://127.0.0.1:9/
XVFB_PID=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
# Wine takes the user's locale from the host's: a Greek one, made here if the system has none.
export LANG=el_GR.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'el_GR.utf8'; then
    mkdir -p "$WORK/locale"
    localedef -i el_GR -f UTF-8 "$WORK/locale/el_GR.UTF-8"
    export LOCPATH="$WORK/locale"
fi
fail() {
    echo "windows-program.sh: $*" >&2
    exit 1
}

# One X server for everything; Wine's windows need one even when Qt draws offscreen.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB_PID=$!
wait_for '[ -s "$WORK/display" ]' 20 || fail "Xvfb did not start"
export DISPLAY=":$(cat "$WORK/display")"
timeout 180 wineboot -i >/dev/null 2>&1 || fail "the Wine prefix could not be made"
# Windows has Arial, Times New Roman and Courier New; Wine draws them with the metric-compatible
# Liberation fonts, so that text takes the room it takes on Windows.
for font in "Arial:Liberation Sans" "Times New Roman:Liberation Serif" "Courier New:Liberation Mono"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${font%%:*}" /t REG_SZ /d "${font#*:}" /f \
        >/dev/null 2>&1
done

echo "windows-program.sh: the test programs under Wine"
RUN="$WORK/tests"
mkdir -p "$RUN"
cp "$OUT/program/tests-bin/"*.exe "$RUN/"
# The stand-in remote-access libraries, which the tests copy into the system folder.
cp -r "$OUT/cross/standins" "$RUN/"
TARV_EXTRA_PLUGINS="platforms/qoffscreen.dll" tarv_windows_deploy "$QT" "$RUN" "$RUN"/*.exe
failed=()
for exe in "$RUN"/*.exe; do
    name="$(basename "$exe" .exe)"
    # The tests draw offscreen, but the notification-area host needs real windows, and the chart's
    # text must be measured in the fonts Windows has (offscreen, Qt for Windows sees none of them).
    # Wine does not pass QT_* variables on to Windows programs: the platform goes on the command line.
    platform=offscreen
    case "$name" in test_windows_program | test_stats) platform=windows ;; esac
    # The Windows program's own suite runs under a code page other than Greek's (1253), where Greek
    # text that went through the ANSI calls would come out as question marks.
    locale=()
    [ "$name" = test_windows_program ] && locale=(env LC_ALL=C.UTF-8)
    # The stand-in remote-access library, once a test puts it into the system folder, rather than Wine's own.
    if ! (cd "$RUN" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n" timeout 300 "${locale[@]}" wine "$exe" \
        -platform "$platform" --gtest_brief=1 \
        >"$WORK/$name.log" 2>&1); then
        failed+=("$name")
        echo "--- $name failed:"
        grep -E -A5 '^\[  FAILED|Failure|exception' "$WORK/$name.log" | head -80 || tail -30 "$WORK/$name.log"
    else
        echo "$name: $(grep -E '^\[  PASSED' "$WORK/$name.log" || echo passed)"
    fi
done

bash "$ROOT/tests/windows/e2e_program.sh" "$OUT/tarv-setup.exe" "$OUT/cross/standins/full/rasapi32.dll" \
    "$OUT/screenshots" "$OUT/tarv-setup-older.exe" || failed+=(e2e_program)

[ "${#failed[@]}" -eq 0 ] || fail "failed under Wine: ${failed[*]}"
echo "windows-program.sh: passed in $((SECONDS - START)) s"
