#!/usr/bin/env bash
# Compiles every *_win32.cpp of the tree with mingw-w64 (syntax and types, no link), so the
# Windows paths keep building while development happens on Linux.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
# Test files need GoogleTest: `make windows` builds them (scripts/check-windows.sh).
mapfile -t files < <(git ls-files '*_win32.cpp' ':!:tests/*'
                     git ls-files -o --exclude-standard '*_win32.cpp' ':!:tests/*')
if [ ${#files[@]} -eq 0 ]; then echo "no Windows files"; exit 0; fi
out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
for f in "${files[@]}"; do
  echo "mingw: $f"
  "$cxx" -std=c++20 -Wall -Wextra -Werror -I. -c "$f" -o "$out/$(basename "$f").o"
done
echo "${#files[@]} Windows files compiled"
