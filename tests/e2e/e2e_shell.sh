#!/usr/bin/env bash
# The real program under Xvfb with a tray host that starts after it: it runs with no window and
# its icon docks; a double click on the icon shows the shaped window, the tray menu's first item
# then reads "Απόκρυψη", a month of the statistics panel opens the chart window, and a second
# double click hides the window. Screenshots go to the given
# folder.
#   e2e_shell.sh <program> <screenshot folder> <menu reference program>
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

if [ "${1:-}" != "--inside" ]; then
    PROGRAM="$1"
    SHOTS="$2"
    REFERENCE="$3"
    e2e_prepare "$PROGRAM"
    mkdir -p "$SHOTS"
    # Without a session bus Qt docks the icon through the XEmbed tray protocol, as trayer speaks.
    unset DBUS_SESSION_BUS_ADDRESS
    # A white root window shows where the shaped window leaves the screen uncovered.
    # A display number of its own, so that other tests starting X servers at once do not collide.
    xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 800x600x24 -wr" \
        bash "$0" --inside "$WORK" "$SHOTS" "$REFERENCE"
    exit $?
fi

WORK="$2"
SHOTS="$3"
REFERENCE="$4"
fail() { echo "e2e shell: $*" >&2; exit 1; }
trap e2e_cleanup EXIT

# The pixel of the screen at x, y as "r,g,b".
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# The program starts before the tray host, as it may at the start of a session: the icon must
# dock once the host is there.
"$WORK/app/tarv" >"$WORK/tarv.log" 2>&1 &
TARV=$!
PIDS+=($TARV)
wait_for '[ -f "$WORK/app/data.dat" ]' 100 || fail "the program did not start"
sleep 1
kill -0 "$TARV" 2>/dev/null || fail "the program ended without a tray"

trayer --edge top --align left --widthtype request --height 24 --SetDockType true \
    --transparent false --tint 0x303a50 >/dev/null 2>&1 &
PIDS+=($!)
wait_for 'xdotool search --name "^panel$" >/dev/null 2>&1' 100 || fail "the tray host did not start"
PANEL="$(xdotool search --name '^panel$' | head -1)"
docked() { xwininfo -tree -id "$PANEL" 2>/dev/null | grep -q '"tarv"'; }
wait_for docked 100 || fail "the icon did not dock in the tray"
sleep 3
kill -0 "$TARV" 2>/dev/null || fail "the program ended by itself"
[ -z "$(program_windows)" ] || fail "a window is visible after start-up"

# The icon's centre on the screen.
read -r IX IY IW IH < <(xwininfo -tree -id "$PANEL" | awk '/"tarv"/ { split($NF, a, "+"); split($(NF-1), s, "[x+]");
    print a[2], a[3], s[1], s[2]; exit }')
CX=$((IX + IW / 2))
CY=$((IY + IH / 2))
echo "e2e shell: the icon is at $CX,$CY"
import -window root -crop 120x40+0+0 +repage "$SHOTS/tray_idle.png"

double_click() { xdotool mousemove "$CX" "$CY" click --repeat 2 --delay 120 1; }

double_click
wait_for '[ -n "$(main_window)" ]' 50 || fail "a double click on the icon did not show the window"
MAIN="$(main_window)"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
[ "$WIDTH" = 284 ] && [ "$HEIGHT" = 308 ] || fail "the window is ${WIDTH}x${HEIGHT}, not 284x308"
xdotool mousemove 5 590
sleep 0.3
import -window root "$WORK/screen.png"
convert "$WORK/screen.png" -crop "284x308+$X+$Y" +repage "$SHOTS/main_idle.png"
# The outline: the corners and the rows from 303 down leave the white screen showing; the
# display inside is black.
[ "$(pixel "$WORK/screen.png" "$X" "$Y")" = "255,255,255" ] || fail "the top-left corner is not cut off"
[ "$(pixel "$WORK/screen.png" $((X + 283)) "$Y")" = "255,255,255" ] || fail "the top-right corner is not cut off"
[ "$(pixel "$WORK/screen.png" $((X + 140)) $((Y + 305)))" = "255,255,255" ] || fail "row 305 is not cut off"
[ "$(pixel "$WORK/screen.png" $((X + 45)) $((Y + 295)))" = "255,255,255" ] || fail "the notch at x 45 is not cut"
[ "$(pixel "$WORK/screen.png" $((X + 140)) $((Y + 150)))" = "0,0,0" ] || fail "the display is not black"

# The tray menu: a right press opens it at the cursor; its first item now reads "Απόκρυψη".
xdotool mousemove "$CX" "$CY" click 3
sleep 0.8
import -window root -crop 260x120+0+0 +repage "$SHOTS/tray_menu.png"
if [ -n "$REFERENCE" ]; then
    "$REFERENCE" "$WORK/ref_hide.png" "Απόκρυψη" "$WORK/ref_show.png" "Εμφάνιση" >/dev/null 2>&1 ||
        fail "the menu reference did not render"
    RW=$(identify -format "%w" "$WORK/ref_hide.png")
    RH=$(identify -format "%h" "$WORK/ref_hide.png")
    import -window root -crop "${RW}x${RH}+${CX}+${CY}" +repage "$WORK/menu.png"
    echo "e2e shell: the menu is ${RW}x${RH}"
    diff_hide=$(compare -metric AE "$WORK/menu.png" "$WORK/ref_hide.png" null: 2>&1 || true)
    diff_show=$(compare -metric AE "$WORK/menu.png" "$WORK/ref_show.png" null: 2>&1 || true)
    echo "e2e shell: the menu differs from Απόκρυψη in $diff_hide pixels, from Εμφάνιση in $diff_show"
    [ "${diff_hide%% *}" -lt "${diff_show%% *}" ] ||
        fail "the first item does not read Απόκρυψη (differences: $diff_hide against $diff_show)"
fi
xdotool key Escape
sleep 0.3

# The statistics button opens the panel, and January's row of its year grid the chart window,
# whose code the program loads only now.
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
xdotool mousemove $((X + 159)) $((Y + 271)) click 1
sleep 1
xdotool mousemove $((X + 45)) $((Y + 37)) click 1
chart_window() {
    for w in $(program_windows); do
        xdotool getwindowgeometry "$w" | grep -q "Geometry: 529x347" && { echo "$w"; return; }
    done
}
wait_for '[ -n "$(chart_window)" ]' 100 || { cat "$WORK/tarv.log" >&2; fail "the chart window did not open"; }
grep -q tarvchart.so "/proc/$TARV/maps" || fail "the chart window opened without its module"
import -window root "$SHOTS/chart_loaded.png"
kill -0 "$TARV" 2>/dev/null || fail "the program ended"

double_click
wait_for '[ -z "$(main_window)" ]' 50 || fail "a second double click did not hide the window"
kill -0 "$TARV" 2>/dev/null || fail "the program ended"
echo "e2e shell: ok"
