# The project's cross build for 64-bit Windows with Debian's mingw-w64. `make windows` passes
# it to the Qt for Windows that scripts/qt-windows.sh builds (as QT_CHAINLOAD_TOOLCHAIN_FILE
# of that Qt's qt.toolchain.cmake), so the window, fernwell-cli and every test build; alone
# (-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DFERNWELL_CORE_ONLY=ON) it builds the
# Qt-free core, fernwell-cli and their tests.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-base.cmake)

# The test programs run under Wine, not here.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the Windows programs on the build machine")

# -O2 as on Linux (RelWithDebInfo) rather than CMake's -O3 for Release: at -O3 GCC 12 warns of
# overlapping copies inside std::string assignments that cannot happen (GCC bug 105651).
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
# Release programs without their symbols: fernwell.exe with Qt linked in is a third the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s" CACHE STRING "Linker flags for Release builds")
