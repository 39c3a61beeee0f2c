# The cross compiler for 64-bit Windows from Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix): what the project and the Qt it builds for Windows
# (scripts/qt-windows.sh) share. The posix-threads flavour, because std::thread (the link's
# worker, Qt's threads) needs it. Everything is linked statically (libstdc++, libgcc,
# winpthread), so the programs need only the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FERNWELL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FERNWELL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERNWELL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FERNWELL_MINGW_PREFIX}-windres)

# Headers and libraries only from the mingw-w64 sysroot, programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${FERNWELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
