# Cross build for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix-threads flavour of the compiler, because std::thread (the link's worker) needs it.
# Everything is linked statically (libstdc++, libgcc, winpthread), so the programs need only
# the DLLs every Windows has. Only the Qt-free core, fernwell-cli and their tests are built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FERNWELL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FERNWELL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERNWELL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FERNWELL_MINGW_PREFIX}-windres)

# Headers and libraries only from the mingw-w64 sysroot, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${FERNWELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(FERNWELL_CORE_ONLY ON CACHE BOOL "Build only the Qt-free core, fernwell-cli and their tests")
# The test programs run under Wine, not here.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the Windows programs on the build machine")

# -O2 as on Linux (RelWithDebInfo) rather than CMake's -O3 for Release: at -O3 GCC 12 warns of
# overlapping copies inside std::string assignments that cannot happen (GCC bug 105651).
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
