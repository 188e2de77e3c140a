#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian and its dependencies, installs it on this
# machine, checks what it installed and that the program starts from its menu entry, removes it
# and checks that nothing of it is left while the user's ledger stays as it was. It installs on the
# machine itself, as CI does on a throw-away machine; where the package is already installed it
# leaves it alone and only builds and checks the package.
set -euo pipefail
cd "$(dirname "$0")/../.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
fail() { echo "deb: $*" >&2; exit 1; }

./scripts/build-deb
VERSION="$(sed -n 's/^project(tarv VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)"
DEB="$(ls "$PWD"/build-deb/tarv_"$VERSION"_*.deb)"

echo "deb: lintian"
lintian --fail-on error "$DEB"

# The dependencies come from the binaries: the Qt libraries of the program, of the chart module
# and, when it was built, of the banner's helper.
DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
NEEDED=(libqt6core6 libqt6widgets6 libqt6network6 libqt6charts6)
if grep -q '/tarvbanner$' <<< "$(dpkg-deb -c "$DEB")"; then NEEDED+=(libqt6webenginewidgets6); fi
for lib in "${NEEDED[@]}"; do
    [[ "$DEPENDS" == *"$lib "* || "$DEPENDS" == *"$lib," || "$DEPENDS" == *"$lib" ]] ||
        fail "the package does not depend on $lib: $DEPENDS"
done

if dpkg-query -W -f='${db:Status-Status}' tarv 2> /dev/null | grep -qx installed; then
    echo "deb: the package tarv is installed on this machine; not installing over it"
    exit 0
fi

HOMEDIR="$(mktemp -d)"
cleanup() {
    if dpkg-query -W -f='${db:Status-Status}' tarv 2> /dev/null | grep -qx installed; then
        $SUDO apt-get remove -y -qq tarv > /dev/null || true
    fi
    rm -rf "$HOMEDIR"
}
trap cleanup EXIT

echo "deb: installing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$DEB" > /dev/null
LISTED="$(dpkg -L tarv)"
mapfile -t OWNED <<< "$LISTED"
has() { grep -qx -- "$1" <<< "$LISTED"; }

for f in /usr/bin/tarv /usr/share/applications/example.pelmo.tarv.desktop \
         /usr/share/metainfo/example.pelmo.tarv.metainfo.xml /usr/share/icons/hicolor/48x48/apps/tarv.png \
         /usr/share/icons/hicolor/scalable/apps/tarv.svg /usr/share/man/man1/tarv.1.gz; do
    has "$f" && [ -e "$f" ] || fail "$f is not installed"
done
grep -qx '/usr/lib/.*/tarvchart\.so' <<< "$LISTED" || fail "the chart module is not installed"
if dpkg-query -W -f='${db:Status-Status}' qt6-webengine-dev 2> /dev/null | grep -qx installed; then
    grep -qx '/usr/lib/.*/tarvbanner' <<< "$LISTED" || fail "the banner's helper is not installed"
fi

# The menu entry starts the installed program, which prints the project's version.
EXEC="$(sed -n 's/^Exec=//p' /usr/share/applications/example.pelmo.tarv.desktop)"
read -r -a COMMAND <<< "${EXEC//%[a-zA-Z]/}"
has "$(PATH=/usr/bin:/bin command -v "${COMMAND[0]}")" || fail "the menu entry's Exec ($EXEC) is not the package's program"
SAID="$(/usr/bin/tarv --version)"
[ "$SAID" = "tarv $VERSION" ] || fail "tarv --version says '$SAID', not tarv $VERSION"
grep -q "<release version=\"$VERSION\"" /usr/share/metainfo/example.pelmo.tarv.metainfo.xml ||
    fail "the AppStream file has no release $VERSION"

# The manual page opens by name and documents the commands and their exit codes.
MANPAGE="$(MANWIDTH=100 man tarv 2> /dev/null)" || fail "man tarv fails"
for word in --report --status --watch --check "EXIT STATUS"; do
    grep -q -- "$word" <<< "$MANPAGE" || fail "the manual page does not mention $word"
done

# The program starts from its menu entry as an ordinary user and keeps running; its ledger goes
# to that user's data folder.
if id nobody > /dev/null 2>&1 && [ "$(id -u)" -eq 0 ]; then
    chown nobody "$HOMEDIR"
    rc=0
    runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$HOMEDIR" XDG_RUNTIME_DIR="$HOMEDIR" \
        XDG_CONFIG_HOME="$HOMEDIR/.config" XDG_DATA_HOME="$HOMEDIR/.local/share" LANG=el_GR.UTF-8 \
        QT_QPA_PLATFORM=offscreen TARV_MAKER_URL="${TARV_MAKER_URL:-http://127.0.0.1:9/}" \
        timeout 5 "${COMMAND[@]}" > /dev/null 2>&1 || rc=$?
    [ "$rc" -eq 124 ] || fail "the program started from its menu entry ended with $rc"
    LEDGER="$HOMEDIR/.local/share/tarv/data.dat"
    [ -f "$LEDGER" ] || fail "the installed program wrote no ledger in the user's data folder"
    LEDGER_SUM="$(sha256sum < "$LEDGER")"
fi

echo "deb: removing"
$SUDO apt-get remove -y -qq -o DPkg::Lock::Timeout=600 tarv > /dev/null
STATE="$(dpkg-query -W -f='${db:Status-Status}' tarv 2> /dev/null || true)"
[ -z "$STATE" ] || [ "$STATE" = "not-installed" ] || fail "after removal the package is still '$STATE'"
# Every file is gone; a folder may stay only while another package owns it.
for path in "${OWNED[@]}"; do
    [ "$path" = "/." ] && continue
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        dpkg -S "$path" > /dev/null 2>&1 || fail "the folder $path is left behind"
    elif [ -e "$path" ] || [ -L "$path" ]; then
        fail "$path is left behind"
    fi
done
if [ -n "${LEDGER_SUM:-}" ]; then
    [ "$(sha256sum < "$LEDGER")" = "$LEDGER_SUM" ] || fail "removing the package changed the user's ledger"
    [ -f "$HOMEDIR/.config/autostart/Tarv.desktop" ] || fail "removing the package deleted the user's autostart entry"
fi
echo "deb: ok"
