#!/usr/bin/env bash
# Installs the program into a temporary prefix, validates its desktop entry and AppStream file,
# and starts the installed program as an ordinary user who cannot write its folder: the ledger
# must then appear in that user's data folder.
set -euo pipefail
cd "$(dirname "$0")/../.."

PREFIX="$(mktemp -d)"
HOMEDIR="$(mktemp -d)"
trap 'rm -rf "$PREFIX" "$HOMEDIR"' EXIT
chmod 755 "$PREFIX"

cmake --install build --prefix "$PREFIX" > /dev/null
for f in bin/tarv share/applications/example.pelmo.tarv.desktop share/metainfo/example.pelmo.tarv.metainfo.xml \
         share/icons/hicolor/48x48/apps/tarv.png share/icons/hicolor/scalable/apps/tarv.svg; do
    test -e "$PREFIX/$f" || { echo "install: $f is missing"; exit 1; }
done
[ -n "$(find "$PREFIX" -name tarvchart.so)" ] || { echo "install: the chart module is missing"; exit 1; }
# The front starts the tray program installed beside it, never the build folder's.
[ -n "$(find "$PREFIX" -path "*/tarv/tarv" -type f)" ] || { echo "install: the tray program is missing"; exit 1; }
! grep -q "$(pwd)/build/program/tarv" "$PREFIX/bin/tarv" || { echo "install: the front names the build folder"; exit 1; }
desktop-file-validate "$PREFIX/share/applications/example.pelmo.tarv.desktop"
appstreamcli validate --no-net "$PREFIX/share/metainfo/example.pelmo.tarv.metainfo.xml"

if [ "$(id -u)" -eq 0 ] && id nobody > /dev/null 2>&1; then
    chmod 755 "$PREFIX/bin"
    chown nobody "$HOMEDIR"
    runuser -u nobody -- env HOME="$HOMEDIR" XDG_CONFIG_HOME="$HOMEDIR/.config" XDG_DATA_HOME="$HOMEDIR/.local/share" \
        XDG_RUNTIME_DIR="$HOMEDIR" QT_QPA_PLATFORM=offscreen LANG=el_GR.UTF-8 \
        timeout 5 "$PREFIX/bin/tarv" > /dev/null 2>&1 || true
    test -f "$HOMEDIR/.local/share/tarv/data.dat" || { echo "install: no ledger in the user's data folder"; exit 1; }
    test ! -e "$PREFIX/bin/data.dat" || { echo "install: a ledger was written beside the installed program"; exit 1; }
    test -f "$HOMEDIR/.config/autostart/Tarv.desktop" || { echo "install: no autostart entry"; exit 1; }
fi
echo "install: ok"
