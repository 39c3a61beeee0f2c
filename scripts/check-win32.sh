#!/usr/bin/env bash
# Compiles every *_win32.cpp of the tree with mingw-w64 (syntax and types, no link), so the
# Windows paths keep building while development happens on Linux. Files that use Qt need the
# Qt for Windows of scripts/qt-windows.sh; without it they are left to `make windows`.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
qt=$(scripts/qt-windows.sh --print-prefix 2>/dev/null || true)
qt_flags=()
if [ -n "$qt" ] && [ -f "$qt/.complete" ]; then
  qt_flags=(-I"$qt/include" -I"$qt/include/QtCore" -I"$qt/include/QtGui"
            -I"$qt/include/QtWidgets" -I"$qt/mkspecs/win32-g++" -DUNICODE -D_UNICODE)
fi
# Test files need GoogleTest: `make windows` builds them (scripts/check-windows.sh).
mapfile -t files < <(git ls-files '*_win32.cpp' ':!:tests/*'
                     git ls-files -o --exclude-standard '*_win32.cpp' ':!:tests/*')
if [ ${#files[@]} -eq 0 ]; then echo "no Windows files"; exit 0; fi
out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
compiled=0
for f in "${files[@]}"; do
  if [ ${#qt_flags[@]} -eq 0 ] && grep -Eq '^#include ("ui/|<Q)' "$f"; then
    echo "left to make windows (uses Qt): $f"
    continue
  fi
  echo "mingw: $f"
  "$cxx" -std=c++20 -Wall -Wextra -Werror -I. "${qt_flags[@]}" -c "$f" -o "$out/$(basename "$f").o"
  compiled=$((compiled + 1))
done
echo "$compiled Windows files compiled"
