#!/usr/bin/env bash
# The real program on a Wayland session, with a headless compositor (weston) beside an X server
# (Xvfb) that stands in for XWayland. With X there and no platform chosen, the program runs on X,
# where it can place its window: the window a second start asks for shows centred. On Wayland
# alone it runs on Wayland, and a second start still shows its window.
#   e2e_wayland.sh <program>
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

if [ "${1:-}" != "--inside" ]; then
    e2e_prepare "$1" runtime
    chmod 700 "$WORK/runtime"
    export XDG_RUNTIME_DIR="$WORK/runtime"
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 800x600x24" bash "$0" --inside "$WORK"
    exit $?
fi

WORK="$2"
fail() {
    echo "e2e wayland: $*" >&2
    for f in "$WORK"/tarv*.log; do sed "s|^|  $(basename "$f"): |" "$f" >&2; done
    exit 1
}
trap e2e_cleanup EXIT

weston --backend=headless-backend.so --socket=wayland-tarv --idle-time=0 >"$WORK/weston.log" 2>&1 &
PIDS+=($!)
wait_for '[ -S "$XDG_RUNTIME_DIR/wayland-tarv" ]' 100 || fail "the compositor did not start"
export WAYLAND_DISPLAY=wayland-tarv XDG_SESSION_TYPE=wayland

# The first start runs, a second one asks it to show its window and ends.
start_and_show() { # log name
    "$WORK/app/tarv" >"$WORK/$1.log" 2>&1 &
    TARV=$!
    PIDS+=($TARV)
    wait_for '[ -f "$WORK/app/data.dat" ]' 100 || fail "the program did not start ($1)"
    sleep 1
    timeout 20 "$WORK/app/tarv" >"$WORK/$1-second.log" 2>&1 || fail "the second start did not end ($1)"
    sleep 1
    kill -0 "$TARV" 2>/dev/null || fail "the program ended ($1)"
}

start_and_show tarv-xwayland
WINDOW="$(xdotool search --onlyvisible --name "Internet by Pelmo$" 2>/dev/null | head -1 || true)"
[ -n "$WINDOW" ] || fail "with X there, the window did not show on X"
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
[ "$X,$Y" = "258,146" ] || fail "the window is at $X,$Y, not centred at 258,146"
kill "$TARV"
wait "$TARV" 2>/dev/null || true

(
    unset DISPLAY
    start_and_show tarv-wayland
    kill "$TARV"
)
echo "e2e wayland: ok"
