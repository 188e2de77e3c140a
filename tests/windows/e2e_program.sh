#!/usr/bin/env bash
# The installed Windows program end to end under Wine, as a new user meets it:
#   e2e_program.sh <tarv-setup.exe> <stand-in rasapi32.dll> <screenshot folder> [<older setup>]
# Runs in the Wine prefix and on the X display the caller set up (WINEPREFIX, DISPLAY). With an
# older installer (the same files under an older version) that one installs first, and the newer
# one upgrades it while the program runs; then the program is uninstalled while it runs.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=scripts/windows-env.sh
. "$ROOT/scripts/windows-env.sh"
SETUP="$1"
STANDIN="$2"
SHOTS="$3"
OLDER="${4:-}"
mkdir -p "$SHOTS"
# Installed for the current user, under the user's local programs folder.
INST="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Programs/Tarv"
INST_WIN="C:\\users\\$(whoami)\\AppData\\Local\\Programs\\Tarv"
DATA="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/Tarv"
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
WORK="$(mktemp -d /tmp/tarv-e2e.XXXXXX)"
PROGRAM_PID=""

fail() {
    echo "e2e_program.sh: $*" >&2
    # What the screen showed, for whoever reads the failure.
    import -window root "$SHOTS/failure.png" 2>/dev/null || true
    [ -f "$WORK/tarv.log" ] && tail -20 "$WORK/tarv.log" >&2
    exit 1
}
stop_program() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$PROGRAM_PID" ] && wait "$PROGRAM_PID" 2>/dev/null || true
    PROGRAM_PID=""
}
cleanup() {
    stop_program
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'echo "e2e_program.sh: a step failed at line $LINENO" >&2' ERR

# The stand-in reads its script from this file at every call: the connection changes as it is rewritten.
RAS="$WORK/ras.txt"
echo "count=0" >"$RAS"
TARV_RASSTUB_FILE="$(winepath -w "$RAS" 2>/dev/null)"
export TARV_RASSTUB_FILE
# Starts the tray program, or the given executable of the install folder (tarv.exe, the command
# line, starts the tray program when it has no option).
start_program() {
    (cd "$INST" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n" timeout 600 wine "$INST_WIN\\${1:-tarvw.exe}" \
        >>"$WORK/tarv.log" 2>&1) &
    PROGRAM_PID=$!
}
# The amount of a day's record in the ledger ("0009,000"), or nothing.
amount_of() {
    grep -a -o "$2|[0-9]*,[0-9]*" "$1" 2>/dev/null | tail -1 | cut -d'|' -f2 || true
}
# Writes a ledger: the header (printf escapes allowed) padded to 100 bytes, then today's empty record.
ledger() {
    printf "$2" >"$1"
    printf '%*s\r\n\r\n%s|0000,000' $((100 - $(stat -c %s "$1"))) '' "$DAY" >>"$1"
}
main_window() {
    # xdotool compares names bytewise in the C locale, so the Greek part of the title stays out.
    xdotool search --onlyvisible --name "Internet by Pelmo$" 2>/dev/null | head -1
}

# ---- Install, upgrade and uninstall: the helpers ----
UNINSTALL_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarv'
SHORTCUT="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tarv.lnk"
# A value of the user's "Apps & features" entry for the program, or nothing.
entry_value() {
    wine reg query "HKCU\\$UNINSTALL_KEY" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"
}
run_value() {
    wine reg query "$RUN_KEY" /v Tarv 2>/dev/null | tr -d '\r' | grep Tarv || true
}
# The Unix processes of the installed program (Wine names them by their Windows path).
program_pids() {
    pgrep -f '^C:\\users\\.*\\Programs\\Tarv\\tarvw?\.exe' || true
}

echo "e2e_program.sh: silent install for the current user, without an administrator"
# The installer asks Windows for no elevation: it runs with the user's own rights.
grep -aq 'level="asInvoker"' "$SETUP" || fail "the installer asks for an administrator"
timeout 180 wine "${OLDER:-$SETUP}" /S >/dev/null 2>&1 || fail "the installer failed"
for f in tarv.exe tarv.installed uninstall.exe Qt6Core.dll platforms/qwindows.dll; do
    [ -f "$INST/$f" ] || fail "the installer did not install $f"
done
entry_value UninstallString | grep -qF "$INST_WIN\\uninstall.exe" ||
    fail "the uninstaller is not registered under HKEY_CURRENT_USER"
! wine reg query "HKLM\\$UNINSTALL_KEY" >/dev/null 2>&1 || fail "an install for one user wrote to HKEY_LOCAL_MACHINE"
[ ! -e "$WINEPREFIX/drive_c/Program Files/Tarv" ] || fail "an install for one user wrote to Program Files"
[ -f "$SHORTCUT" ] || fail "no Start-menu shortcut in the user's menu"
[ -z "$OLDER" ] || [ -f "$INST/retired.txt" ] || fail "the older installer did not install retired.txt"
# The program loads the remote-access library from the system folder only: the stand-in goes
# there, in this test's own prefix, never beside the program.
cp "$STANDIN" "$WINEPREFIX/drive_c/windows/system32/rasapi32.dll"

echo "e2e_program.sh: first run"
DAY="$(date +%y%m%d)"
start_program
wait_for '[ -s "$DATA/data.dat" ]' 90 || fail "no ledger in %APPDATA%\\Tarv"
[ ! -e "$INST/data.dat" ] || fail "the installed program wrote its ledger beside itself"
ledger "$WORK/expected.dat" '8|22|270|540|9|\xC4\xF1\xF7' # the currency "Δρχ" in code page 1253
cmp "$DATA/data.dat" "$WORK/expected.dat" || {
    xxd "$DATA/data.dat" | head -8 >&2
    fail "the first-run ledger is not the expected 119 bytes"
}
wait_for 'run_value | grep -qF "\"$INST_WIN\\tarvw.exe\""' 30 ||
    fail "the Run-key value Tarv does not hold the tray program's path in quotes"

# --- The command line in a Command Prompt and the first-start notice --------------------------
echo "e2e_program.sh: the command line in a console"
[ -f "$INST/tarvw.exe" ] || fail "the installer did not install tarvw.exe"
# The first start's balloon was taken by the shell: the marker beside the ledger says so.
wait_for '[ -f "$DATA/firststart.shown" ]' 20 || fail "no first-start balloon"
# Wine's notification area brings a balloon up after a moment's delay.
sleep 3
import -window root "$SHOTS/first-start.png" 2>/dev/null || true
# Typed in a Command Prompt on a terminal (script gives Wine one), tarv.exe prints in the console.
# The arguments are one shell command line (quote a Windows path with its backslashes).
# Wine's console adds its terminal controls, which are taken out again.
console() {
    (cd "$INST" && script -qec "timeout 60 wine cmd /c $*" /dev/null </dev/null 2>&1 |
        sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r')
}
console tarv.exe --version >"$WORK/cli.txt" || fail "tarv.exe --version failed: $(cat "$WORK/cli.txt")"
grep -q '^tarv [0-9]' "$WORK/cli.txt" || fail "tarv.exe --version printed: $(cat "$WORK/cli.txt")"
console tarv.exe --report >"$WORK/cli.txt" || fail "tarv.exe --report failed: $(cat "$WORK/cli.txt")"
grep -q 'Δρχ' "$WORK/cli.txt" || fail "tarv.exe --report printed: $(cat "$WORK/cli.txt")"
console tarv.exe --status >"$WORK/cli.txt" || fail "tarv.exe --status failed: $(cat "$WORK/cli.txt")"
grep -q 'Σήμερα' "$WORK/cli.txt" || fail "tarv.exe --status printed: $(cat "$WORK/cli.txt")"
# A bad option sets ERRORLEVEL 2, read back in a batch file as a user's script would.
printf '@echo off\r\ntarv.exe --no-such-option\r\necho ERRORLEVEL=%%ERRORLEVEL%%\r\n' >"$WORK/bad.bat"
console "'$(winepath -w "$WORK/bad.bat" 2>/dev/null)'" >"$WORK/cli.txt" || true
grep -q 'ERRORLEVEL=2' "$WORK/cli.txt" || fail "a bad option did not set ERRORLEVEL 2: $(cat "$WORK/cli.txt")"
# To a file: UTF-8, and a CSV report with a byte-order mark.
(cd "$INST" && timeout 60 wine tarv.exe --report --format csv >"$WORK/report.csv" 2>/dev/null) ||
    fail "tarv.exe --report --format csv failed"
[ "$(head -c 3 "$WORK/report.csv" | xxd -p)" = "efbbbf" ] || fail "the CSV report has no byte-order mark"
grep -q 'Δρχ' "$WORK/report.csv" || fail "the CSV report is not UTF-8"
# --- end of the command line ----------------------------------------------------------------

echo "e2e_program.sh: a double click on the notify icon"
# The notification area appears with the first icon in a fresh prefix.
wait_for '[ -n "$(xdotool search --name "Wine System Tray" 2>/dev/null | head -1)" ]' 30 || fail "no notification area"
TRAY="$(xdotool search --name 'Wine System Tray' 2>/dev/null | head -1)"
eval "$(xdotool getwindowgeometry --shell "$TRAY")"
wait_for 'import -window root -crop 24x24+$X+$Y +repage "$WORK/icon.png" 2>/dev/null &&
    [ "$(convert "$WORK/icon.png" -format "%k" info:)" -gt 2 ]' 30 || fail "no icon in the notification area"
import -window root -crop 160x24+$X+$Y +repage "$SHOTS/tray.png"
# The program starts in the notification area only.
[ -z "$(main_window)" ] || fail "the main window showed before the icon was clicked"
xdotool mousemove $((X + 8)) $((Y + 8)) click --repeat 2 --delay 100 1
wait_for '[ -n "$(main_window)" ]' 20 || fail "a double click on the icon did not show the main window"
sleep 1
MAIN="$(main_window)"
[ -n "$MAIN" ] || fail "the main window did not stay"
import -window "$MAIN" "$SHOTS/main.png"

echo "e2e_program.sh: the statistics panel and the chart"
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
MX=$X
MY=$Y
xdotool mousemove $((MX + 159)) $((MY + 271)) click 1
sleep 3
import -window "$MAIN" "$SHOTS/statistics.png"
# January's row of the panel's year grid opens that month's chart.
xdotool mousemove $((MX + 45)) $((MY + 37)) click 1
wait_for '[ "$(xdotool search --onlyvisible --name "Internet by Pelmo$" 2>/dev/null | wc -l)" -ge 2 ]' 15 ||
    fail "the chart window did not open"
sleep 2
import -window root "$SHOTS/chart.png"

echo "e2e_program.sh: units while connected"
stop_program
# Short units (2 s by day, 3 s by night) so that several fall due within the test.
ledger "$DATA/data.dat" '8|22|2|3|9|EUR'
# This time through the command line without options, which starts the tray program and ends.
start_program tarv.exe
sleep 10
[ "$(amount_of "$DATA/data.dat" "$DAY")" = "0000,000" ] || fail "charged before a connection"
echo "count=1;states=8192;device=modem" >"$RAS"
CONNECTED=$SECONDS
wait_for '[ "$(amount_of "$DATA/data.dat" "$DAY")" != "0000,000" ]' 6 || fail "the first unit was not charged at once"
FIRST=$((SECONDS - CONNECTED))
[ "$(amount_of "$DATA/data.dat" "$DAY")" = "0009,000" ] || fail "the first unit is not 9"
sleep 12
echo "count=0" >"$RAS"
sleep 3
AMOUNT="$(amount_of "$DATA/data.dat" "$DAY")"
UNITS=$((10#${AMOUNT%%,*} / 9))
HOUR=$((10#$(date +%H)))
UNIT=3
[ "$HOUR" -ge 8 ] && [ "$HOUR" -lt 22 ] && UNIT=2
echo "e2e_program.sh: first unit after ${FIRST} s, $UNITS units in about $((12 + FIRST)) s of $UNIT-second units"
# The tick is about a second; Wine's timers add some slack.
[ "$UNITS" -ge $((12 / UNIT - 1)) ] && [ "$UNITS" -le $(((15 + FIRST) / UNIT + 2)) ] ||
    fail "$UNITS units charged while connected"
sleep 4
[ "$(amount_of "$DATA/data.dat" "$DAY")" = "$AMOUNT" ] || fail "charged after the connection ended"

# ---- An upgrade over the running program, then an uninstall while it runs ----
echo "e2e_program.sh: silent upgrade over the running program"
OLD_PIDS="$(program_pids)"
[ -n "$OLD_PIDS" ] || fail "the program was not running before the upgrade"
cp "$DATA/data.dat" "$WORK/ledger-before"
RUN_BEFORE="$(run_value)"
VERSION_BEFORE="$(entry_value DisplayVersion)"
STEP=$SECONDS
timeout 180 wine "$SETUP" /S >/dev/null 2>&1 || fail "the upgrade failed"
echo "e2e_program.sh: the upgrade took $((SECONDS - STEP)) s"
for pid in $OLD_PIDS; do
    ! kill -0 "$pid" 2>/dev/null || fail "the upgrade left the older program running"
done
wait_for '[ -n "$(program_pids)" ]' 30 || fail "the upgrade did not start the program again"
[ -z "$OLDER" ] || [ "$(entry_value DisplayVersion)" != "$VERSION_BEFORE" ] ||
    fail "the entry still names version $VERSION_BEFORE"
# The program started again has read the ledger by now.
sleep 5
cmp "$DATA/data.dat" "$WORK/ledger-before" || fail "the upgrade changed the ledger"
[ "$(run_value)" = "$RUN_BEFORE" ] || fail "the upgrade changed the Run value: $(run_value)"
# A file of the older version that the newer one no longer has goes with the upgrade.
[ ! -e "$INST/retired.txt" ] || fail "the upgrade left the older version's retired.txt"
[ -f "$SHORTCUT" ] || fail "the upgrade lost the Start-menu shortcut"

echo "e2e_program.sh: silent uninstall while the program runs"
[ -n "$(program_pids)" ] || fail "the program was not running before the uninstall"
# The stand-in library is the test's, not the installer's: left there, it would keep the folder.
rm -f "$INST/rasapi32.dll"
STEP=$SECONDS
timeout 120 wine "$INST_WIN\\uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
wait_for '[ ! -e "$INST" ]' 60 || {
    find "$INST" >&2
    fail "the uninstaller left files behind"
}
echo "e2e_program.sh: the uninstall took $((SECONDS - STEP)) s"
[ -z "$(program_pids)" ] || fail "the program outlived its uninstall"
[ -z "$(run_value)" ] || fail "the Run-key value outlived the program"
[ -z "$(entry_value UninstallString)" ] || fail "the Apps & features entry outlived the program"
[ ! -e "$SHORTCUT" ] || fail "the Start-menu shortcut outlived the program"
cmp "$DATA/data.dat" "$WORK/ledger-before" || fail "the uninstaller touched the ledger"

echo "e2e_program.sh: a file in use at the uninstall"
# A file that another program holds open cannot be removed: it is left for the next start of
# Windows, in the system's list of pending removals (Wine's user is an administrator).
x86_64-w64-mingw32-gcc -municode -O1 -o "$WORK/holdfile.exe" "$ROOT/tests/windows/holdfile.c"
timeout 180 wine "${OLDER:-$SETUP}" /S >/dev/null 2>&1 || fail "the installer failed the second time"
timeout 60 wine "$(winepath -w "$WORK/holdfile.exe")" "$INST_WIN\\Qt6Core.dll" 30 >/dev/null 2>&1 &
HOLDER=$!
wait_for "pgrep -f '^[A-Z]:.*holdfile.exe' >/dev/null" 20 || fail "the file holder did not start"
sleep 1
timeout 120 wine "$INST_WIN\\uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
wait_for '[ ! -e "$INST/uninstall.exe" ]' 60 || fail "the uninstaller did not finish"
[ -f "$INST/Qt6Core.dll" ] || fail "the file held open was removed after all"
[ "$(find "$INST" -type f | wc -l)" -eq 1 ] || fail "the uninstaller left more than the file in use"
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
    2>/dev/null | grep -qF 'Programs\Tarv\Qt6Core.dll' || fail "the file in use was not scheduled for removal"
kill "$HOLDER" 2>/dev/null || true
echo "e2e_program.sh: passed"
