# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix-thread compilers, which Qt's
# threads need). scripts/build-windows hands it to CMake through the Windows Qt's own toolchain file
# as QT_CHAINLOAD_TOOLCHAIN_FILE; scripts/build-qt-windows builds that Qt with it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries, headers and packages come from the mingw sysroot and the folders named in
# TARV_WINDOWS_PREFIXES (the Windows Qt, the cross-built googletest); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TARV_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
