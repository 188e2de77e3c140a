#!/usr/bin/env bash
# The real program's tray icon under Xvfb with a session bus, on one of two kinds of tray:
#   sni     a desktop panel (xfce4-panel's notification area) that hosts status-notifier items
#           over D-Bus and shows their menus itself;
#   xembed  trayer, an XEmbed tray that reports presses and double clicks.
# A single click acts at once on the first and not at all on the second; a double click from
# hidden shows the window and from shown hides it on both; a right click opens the program's own
# menu, whose Exit asks first.
#   e2e_tray.sh <program> sni|xembed
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

if [ "${1:-}" != "--inside" ]; then
    PROGRAM="$1"
    KIND="$2"
    e2e_prepare "$PROGRAM"
    # GTK's accessibility bridge would start a bus of its own for the panel.
    export NO_AT_BRIDGE=1
    unset DBUS_SESSION_BUS_ADDRESS
    xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 800x600x24" \
        dbus-run-session -- bash "$0" --inside "$WORK" "$KIND"
    exit $?
fi

WORK="$2"
KIND="$3"
fail() {
    echo "e2e tray ($KIND): $*" >&2
    [ -f "$WORK/tarv.log" ] && sed 's/^/  program: /' "$WORK/tarv.log" >&2
    exit 1
}
trap e2e_cleanup EXIT
shown() { [ -n "$(main_window)" ]; }
question_box() { xdotool search --onlyvisible --name "^Warning$" 2>/dev/null | head -1; }
# Keys to the question box; there is no window manager to give it the focus.
answer() {
    xdotool windowfocus "$(question_box)" 2>/dev/null || true
    sleep 0.2
    xdotool key "$@"
}

start_program() {
    "$WORK/app/tarv" >"$WORK/tarv.log" 2>&1 &
    TARV=$!
    PIDS+=($TARV)
    wait_for '[ -f "$WORK/app/data.dat" ]' 100 || fail "the program did not start"
}

if [ "$KIND" = sni ]; then
    # A panel with the notification area alone, its settings given to its settings daemon.
    CHANNEL="$WORK/config/xfce4/xfconf/xfce-perchannel-xml"
    mkdir -p "$CHANNEL"
    cat >"$CHANNEL/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="30"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="icon-size" type="uint" value="16"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
EOF
    XFCONFD="$(ls /usr/lib/*/xfce4/xfconf/xfconfd 2>/dev/null | head -1)"
    [ -n "$XFCONFD" ] || fail "xfconfd is not installed"
    "$XFCONFD" >"$WORK/xfconfd.log" 2>&1 &
    PIDS+=($!)
    sleep 0.5
    # There is no window manager on this display.
    xfce4-panel --disable-wm-check >"$WORK/panel.log" 2>&1 &
    PIDS+=($!)
    host_registered() {
        gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
            -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered \
            2>/dev/null | grep -q true
    }
    wait_for host_registered 150 || fail "the panel registered no status-notifier host"
    sleep 1
    import -window root -crop 400x40+0+0 +repage "$WORK/before.png"
    start_program
    items() {
        gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
            -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null
    }
    wait_for 'items | grep -q StatusNotifierItem' 100 || fail "the icon did not register with the watcher"
    sleep 1.5
    import -window root -crop 400x40+0+0 +repage "$WORK/after.png"
    # The icon is where the panel changed once the program's item arrived.
    read -r IW IH IX IY < <(convert "$WORK/before.png" "$WORK/after.png" -compose difference -composite \
        -threshold 0 -trim -format "%w %h %X %Y\n" info: | tr -d '+')
    [ "${IW:-0}" -gt 4 ] && [ "${IW}" -lt 60 ] || fail "the icon did not show in the panel (changed ${IW}x${IH})"
else
    start_program
    sleep 1
    trayer --edge top --align left --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0x303a50 >/dev/null 2>&1 &
    PIDS+=($!)
    wait_for 'xdotool search --name "^panel$" >/dev/null 2>&1' 100 || fail "the tray host did not start"
    PANEL="$(xdotool search --name '^panel$' | head -1)"
    wait_for 'xwininfo -tree -id "$PANEL" 2>/dev/null | grep -q "\"tarv\""' 100 || fail "the icon did not dock"
    sleep 1
    read -r IX IY IW IH < <(xwininfo -tree -id "$PANEL" | awk '/"tarv"/ { split($NF, a, "+");
        split($(NF-1), s, "[x+]"); print a[2], a[3], s[1], s[2]; exit }')
fi
CX=$((IX + IW / 2))
CY=$((IY + IH / 2))
echo "e2e tray ($KIND): the icon is at $CX,$CY"
kill -0 "$TARV" 2>/dev/null || fail "the program ended by itself"
shown && fail "the window shows after start-up"

# Clicks far enough apart never make a double click (the interval is 400 ms).
click() { xdotool mousemove "$CX" "$CY" click 1; sleep 1; }
double_click() { xdotool mousemove "$CX" "$CY" click --repeat 2 --delay 120 1; sleep 1; }

click
if [ "$KIND" = sni ]; then
    wait_for shown 30 || fail "a single click did not show the window"
    click
    wait_for '! shown' 30 || fail "a second single click did not hide the window"
else
    shown && fail "a single click on an XEmbed tray showed the window"
fi
# The first caption of the menu as the panel reads it over D-Bus when it opens the menu.
first_caption() {
    local item service path menu
    item="$(items | grep -o "'[^']*StatusNotifierItem'" | head -1 | tr -d "'")"
    service="${item%%/*}"
    path="/${item#*/}"
    menu="$(gdbus call --session -d "$service" -o "$path" -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierItem Menu | grep -o "'/[^']*'" | tr -d "'")"
    gdbus call --session -d "$service" -o "$menu" -m com.canonical.dbusmenu.AboutToShow 0 >/dev/null
    LC_ALL=C.UTF-8 gdbus call --session -d "$service" -o "$menu" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []' |
        grep -o "'label': <'[^']*'>" | head -1 | sed "s/.*<'//; s/'>//"
}
double_click
wait_for shown 30 || fail "a double click from hidden did not show the window"
sleep 0.5
shown || fail "a double click from hidden showed the window and hid it again"
if [ "$KIND" = sni ]; then
    caption="$(first_caption)"
    [ "$caption" = "Απόκρυψη" ] || fail "the menu's first caption reads '$caption' while the window shows"
fi
double_click
wait_for '! shown' 30 || fail "a double click from shown did not hide the window"
sleep 0.5
shown && fail "a double click from shown hid the window and showed it again"
if [ "$KIND" = sni ]; then
    caption="$(first_caption)"
    [ "$caption" = "Εμφάνιση" ] || fail "the menu's first caption reads '$caption' while the window is hidden"
fi

# The right click opens the program's menu: its last item, Exit, asks before anything ends.
xdotool mousemove "$CX" "$CY" click 3
sleep 1
xdotool key Up
sleep 0.3
xdotool key Return
wait_for '[ -n "$(question_box)" ]' 50 || fail "Exit in the tray menu asked nothing"
kill -0 "$TARV" 2>/dev/null || fail "the program ended before the answer"
# No (the default) keeps it running; Yes ends it.
answer Escape
wait_for '[ -z "$(question_box)" ]' 30 || fail "the question did not close"
sleep 0.5
kill -0 "$TARV" 2>/dev/null || fail "the program ended although the answer was No"
xdotool mousemove "$CX" "$CY" click 3
sleep 1
xdotool key Up
sleep 0.3
xdotool key Return
wait_for '[ -n "$(question_box)" ]' 50 || fail "Exit asked nothing the second time"
answer shift+Tab space
wait_for '! kill -0 "$TARV" 2>/dev/null' 50 || fail "the program did not end after Yes"
echo "e2e tray ($KIND): ok"
