#!/usr/bin/env bash
# Regenerates res/images/*.png with make_images.cpp (needs qt6-base-dev and
# fonts-dejavu-core). The images are committed; the build does not run this.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -fPIC -O1 "$here/make_images.cpp" -o "$out/make_images" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$out/make_images" "$here/../images"
