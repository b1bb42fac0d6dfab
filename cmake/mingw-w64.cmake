# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread and Qt need). Used by the `windows` preset and by tools/build-qt-windows.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(Z900_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${Z900_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${Z900_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${Z900_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw sysroot and from prefixes named by the build
# (the cached Qt for Windows); programs such as moc come from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${Z900_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
