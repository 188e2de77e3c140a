# Shared by the end-to-end scripts (sourced): a work folder with a copy of the program, the
# environment the program runs in, and the helpers of the scripts that drive it on a display.

# Makes WORK (removed on exit) holding app/tarv, a copy of the program, config/ and any further
# folders named, and sets the program's environment: a config folder of its own, Greek, the
# maker's address on a closed local port, and Qt left to take the platform from the display.
e2e_prepare() { # program [folder under WORK ...]
    local program="$1" folder
    shift
    WORK="$(mktemp -d)"
    trap 'rm -rf "$WORK"' EXIT
    mkdir -p "$WORK/app" "$WORK/config"
    for folder in "$@"; do mkdir -p "$WORK/$folder"; done
    cp "$program" "$WORK/app/tarv"
    # The copy is an unpacked program: it loads its chart module from beside itself only.
    if [ -f "$(dirname "$program")/tarvchart.so" ]; then cp "$(dirname "$program")/tarvchart.so" "$WORK/app/"; fi
    export XDG_CONFIG_HOME="$WORK/config"
    export LANG=el_GR.UTF-8
    export TARV_MAKER_URL=http://127.0.0.1:9/
    unset QT_QPA_PLATFORM
}

# The processes a script starts, ended when it ends (trap e2e_cleanup EXIT).
PIDS=()
e2e_cleanup() { for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; }

wait_for() { # condition-command, tries of 0.1 s
    for _ in $(seq 1 "$2"); do eval "$1" && return 0; sleep 0.1; done
    return 1
}

# The program's visible windows; xdotool matches names bytewise in the C locale, so the Greek
# part of the title stays out.
program_windows() {
    xdotool search --onlyvisible --name "Internet by Pelmo$" 2>/dev/null || true
}
main_window() {
    for w in $(program_windows); do
        xdotool getwindowgeometry "$w" | grep -q "Geometry: 284x308" && { echo "$w"; return; }
    done
}
