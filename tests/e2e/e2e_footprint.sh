#!/usr/bin/env bash
# The real program idle in the tray under Xvfb, with a saved banner copy, must not have mapped a
# graphics stack, the web engine, the chart library or an image plugin: each is loaded only when
# a window needs it.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"
e2e_prepare "$1" cache/tarv/banner
# A saved copy of the banner: the program must leave it alone until the window is shown.
ADDRESS="http://127.0.0.1:9/services/tarv/index.asp?tarv=10"
printf '<html><body>saved</body></html>' > \
    "$WORK/cache/tarv/banner/$(printf '%s' "$ADDRESS" | sha1sum | cut -d' ' -f1).mhtml"

export XDG_CACHE_HOME="$WORK/cache"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1/app/tarv" & PID=$!
    for i in $(seq 1 100); do [ -f "$1/app/data.dat" ] && break; sleep 0.1; done
    sleep 2
    kill -0 $PID || { echo "the program ended by itself"; exit 1; }
    mapped=$(grep -oE "[^/ ]*(libLLVM|_dri\.so|libgallium|GLX_mesa|EGL_mesa|WebEngine|libQt6Quick|libQt6Charts|tarvchart|imageformats/)[^/ ]*" \
        /proc/$PID/maps | sort -u || true)
    kill $PID; wait $PID 2>/dev/null || true
    [ -z "$mapped" ] || { echo "mapped while idle: $mapped"; exit 1; }
' _ "$WORK"
echo "e2e footprint: ok"
