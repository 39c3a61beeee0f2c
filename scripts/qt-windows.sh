#!/usr/bin/env bash
# Qt 6 for Windows, built once per machine from Debian's own qt6-base source with mingw-w64,
# so the window (fernwell.exe) and its tests build for Windows here. Prints the installed
# prefix (the folder holding lib/cmake/Qt6/qt.toolchain.cmake) as its last line.
#
# The version is the one of the machine's qt6-base-dev, so Debian's host tools (moc, rcc,
# uic from qt6-base-dev-tools) fit the target libraries. The prefix lives in the user's cache
# folder, named by that version and a digest of the configure line and the compiler setup, so a
# changed configuration builds anew and an unchanged one is reused. The system's apt setup is
# never changed: the source comes through a private apt configuration whose deb-src entries
# are made from the machine's own Debian sources.
#
# Usage: scripts/qt-windows.sh [--print-prefix]   (the latter only prints where it would be)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

host_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$host_version" ]; then
    echo "qt6-base-dev is not installed (make deps installs it)" >&2
    exit 1
fi
upstream=${host_version%%+*}  # 6.4.2+dfsg-10 -> 6.4.2
upstream=${upstream%%-*}
host_cmake=/usr/lib/x86_64-linux-gnu/cmake/Qt6

# The configure line. What is switched off, and why:
#  -static -static-runtime   one fernwell.exe that needs only the DLLs every Windows has
#                            (libstdc++, libgcc and winpthread linked in too)
#  -optimize-size            the program draws dialogs; size matters more than speed here
#  -no-dbus, -no-feature-network, -no-feature-sql, -no-feature-xml, -no-feature-printsupport,
#  -no-feature-concurrent    not used by the program (Core, Gui, Widgets and Test are)
#  -no-opengl, -no-feature-vulkan  the window is plain widgets; no GPU path to ship or test
#  -no-feature-tabletevent   the "+dfsg" source lacks wintab.h
#  -qt-zlib -qt-pcre -qt-libpng -qt-harfbuzz -qt-freetype   the bundled copies (the cross
#                            sysroot has none of them); FreeType is kept because the offscreen
#                            platform plugin the tests run on needs it
#  -no-libjpeg -no-gif       the program's images are PNG and ICO
# Direct2D stays at its default (off): switching it off by hand leaves DirectWrite 3 on
# without its source, and the link fails.
configure_line=(-release -static -static-runtime -optimize-size -xplatform win32-g++
    -qt-host-path /usr -nomake examples -nomake tests -no-dbus -no-opengl
    -no-feature-vulkan -no-feature-network -no-feature-sql -no-feature-xml
    -no-feature-printsupport -no-feature-concurrent -no-feature-tabletevent
    -qt-zlib -qt-pcre -qt-libpng -qt-harfbuzz -qt-freetype -no-libjpeg -no-gif)

# The digest covers what decides the libraries: the source version, the configure line and
# the compiler setup, not the rest of this script.
digest=$( (echo "$host_version"; printf '%s\n' "${configure_line[@]}"
           cat "$root/cmake/mingw-w64-base.cmake") |
         sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/fernwell
prefix=$cache/qt-$upstream-mingw-$digest
if [ "${1:-}" = --print-prefix ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] && [ -f "$prefix/.complete" ]; then
    echo "Qt $upstream for Windows: reusing $prefix"
    echo "$prefix"
    exit 0
fi

echo "Qt $upstream for Windows is not built on this machine yet: building it once into"
echo "  $prefix"
echo "from Debian's qt6-base $host_version source. This takes about 20 minutes on two CPUs"
echo "(about 40 CPU-minutes, 2.3 GB of build folder, 115 MB installed); later builds reuse it."

work=$cache/qt-build-$digest
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/sources.list.d"
start=$(date +%s)

# deb-src entries from the machine's own sources (one-line and deb822 formats alike).
if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$work/apt/sources.list"
else
    : >"$work/apt/sources.list"
fi
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >"$work/apt/sources.list.d/$(basename "$f")"
done
apt_private=(-o "Dir::Etc::SourceList=$work/apt/sources.list"
    -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
    -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
    -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=$(id -un)")  # the private folders are this user's
echo "== the qt6-base source (private apt configuration in $work/apt) =="
apt-get "${apt_private[@]}" -qq update
(cd "$work" && apt-get "${apt_private[@]}" -q source "qt6-base=$host_version" >"$work/source.log" 2>&1) || {
    cat "$work/source.log"
    echo "apt-get source qt6-base=$host_version failed" >&2
    exit 1
}
src=$(find "$work" -maxdepth 1 -type d -name "qt6-base-*" | head -1)
[ -n "$src" ] || { echo "no qt6-base folder after apt-get source" >&2; exit 1; }

echo "== configure =="
mkdir -p "$work/build"
cd "$work/build"
"$src/configure" -prefix "$prefix" "${configure_line[@]}" -- -G Ninja \
    "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-w64-base.cmake" \
    "-DQT_HOST_PATH_CMAKE_DIR=${host_cmake%/Qt6}" >"$work/configure.log" 2>&1 || {
    tail -60 "$work/configure.log"
    echo "configure failed (whole log: $work/configure.log)" >&2
    exit 1
}
echo "== build (at the lowest priority) =="
nice -n 19 cmake --build . --parallel "$(nproc)" >"$work/build.log" 2>&1 || {
    tail -60 "$work/build.log"
    echo "the Qt build failed (whole log: $work/build.log)" >&2
    exit 1
}
rm -rf "$prefix"
cmake --install . >"$work/install.log" 2>&1 || {
    tail -30 "$work/install.log"
    exit 1
}
touch "$prefix/.complete"
cd "$cache"
rm -rf "$work"
echo "Qt $upstream for Windows built in $(( ($(date +%s) - start) / 60 )) min: $(du -sh "$prefix" | cut -f1)"
echo "$prefix"
