# Shared by scripts/build-windows, scripts/test.d/windows*.sh and tests/windows/e2e_program.sh
# (sourced, with ROOT set to the repository): where Qt and googletest for Windows come from, which
# DLLs a program needs, and a poll for the tests.

TARV_QT_VERSION=6.4.2
TARV_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/tarv"
MINGW_RUNTIME_DIRS=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

# Polls a shell condition every half second for at most the given seconds.
wait_for() {
    local condition="$1" seconds="$2" i
    for ((i = 0; i < seconds * 2; i++)); do
        eval "$condition" && return 0
        sleep 0.5
    done
    return 1
}

# Whether a folder holds a whole Windows Qt with Qt Charts (the Charts part is installed last).
tarv_qt_complete() {
    [ -f "$1/lib/cmake/Qt6/qt.toolchain.cmake" ] && [ -f "$1/bin/Qt6Widgets.dll" ] &&
        [ -f "$1/plugins/platforms/qwindows.dll" ] && [ -f "$1/lib/cmake/Qt6Charts/Qt6ChartsConfig.cmake" ]
}

# Prints the Windows Qt's folder, unpacking the prebuilt copy or building it first when needed.
tarv_windows_qt() {
    if [ -n "${TARV_QT_WINDOWS:-}" ]; then
        tarv_qt_complete "$TARV_QT_WINDOWS" || {
            echo "TARV_QT_WINDOWS=$TARV_QT_WINDOWS is not a complete Qt for Windows" >&2
            return 1
        }
        echo "$TARV_QT_WINDOWS"
        return
    fi
    local prefix="$TARV_CACHE/qt-$TARV_QT_VERSION-mingw64"
    local prebuilt="$ROOT/../shared/deps/qt-$TARV_QT_VERSION-mingw64.tar.xz"
    if ! tarv_qt_complete "$prefix" && [ -f "$prebuilt" ]; then
        echo "unpacking the prebuilt Qt for Windows from $prebuilt" >&2
        local tmp
        mkdir -p "$TARV_CACHE"
        tmp="$(mktemp -d "$TARV_CACHE/unpack.XXXXXX")"
        tar -xJf "$prebuilt" -C "$tmp"
        rm -rf "$prefix"
        mv "$tmp/qt-$TARV_QT_VERSION-mingw64" "$prefix"
        rm -rf "$tmp"
    fi
    if ! tarv_qt_complete "$prefix"; then
        "$ROOT/scripts/build-qt-windows" "$prefix" >&2
    fi
    echo "$prefix"
}

# Prints the folder of googletest built for Windows from Debian's sources, building it first.
tarv_windows_gtest() {
    local prefix="$TARV_CACHE/googletest-mingw64"
    local src=/usr/src/googletest
    local version
    version="$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)"
    if [ "$(cat "$prefix/.version" 2>/dev/null)" != "$version" ]; then
        echo "building googletest for Windows from $src" >&2
        local build="$TARV_CACHE/googletest-mingw64-build"
        rm -rf "$build" "$prefix"
        cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >&2
        cmake --build "$build" -j "${JOBS:-2}" >&2
        cmake --install "$build" >&2
        rm -rf "$build"
        echo "$version" >"$prefix/.version"
    fi
    echo "$prefix"
}

# The DLLs an executable or DLL imports by name.
tarv_dll_imports() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'
}

# Copies into stage the Qt plugins the program loads and every DLL that the program and those
# plugins import from Qt or from the compiler's runtime, and nothing else. Arguments: the Qt
# folder, the stage folder, then the executables (already in the stage).
tarv_windows_deploy() {
    local qt="$1" stage="$2"
    shift 2
    # The Windows platform, its native style, JPEG for the window's frame and ICO/GIF for the
    # pictures a vendor menu or banner may hold; tests add more through TARV_EXTRA_PLUGINS.
    local plugin
    for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll \
        imageformats/qjpeg.dll imageformats/qico.dll imageformats/qgif.dll ${TARV_EXTRA_PLUGINS:-}; do
        mkdir -p "$stage/$(dirname "$plugin")"
        cp "$qt/plugins/$plugin" "$stage/$plugin"
    done
    local queue=("$@" "$stage"/*/*.dll) seen=" " file dll dir
    while [ "${#queue[@]}" -gt 0 ]; do
        file="${queue[0]}"
        queue=("${queue[@]:1}")
        for dll in $(tarv_dll_imports "$file"); do
            case "$seen" in *" ${dll,,} "*) continue ;; esac
            seen="$seen${dll,,} "
            for dir in "$qt/bin" "${MINGW_RUNTIME_DIRS[@]}"; do
                if [ -f "$dir/$dll" ]; then
                    cp "$dir/$dll" "$stage/"
                    queue+=("$stage/$dll")
                    break
                fi
            done
        done
    done
}
