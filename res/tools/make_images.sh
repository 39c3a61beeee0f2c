#!/usr/bin/env bash
# Regenerates res/images/*.png with make_images.cpp (needs qt6-base-dev and
# fonts-dejavu-core). The images are committed; the build does not run this.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -fPIC -O1 "$here/make_images.cpp" -o "$out/make_images" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$out/make_images" "$here/../images"

# The Windows program's icon (fernwell.ico, compiled into fernwell.exe): the icon's PNGs as
# they are, one directory entry each (PNG entries are read by every Windows since Vista).
python3 - "$here/../images" <<'PY'
import struct, sys, pathlib
folder = pathlib.Path(sys.argv[1])
sizes = [16, 22, 24, 32, 48, 64, 128, 256]
images = [(s, (folder / f"icon128_{s}.png").read_bytes()) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
for size, data in images:
    edge = 0 if size == 256 else size  # 0 means 256 in a directory entry
    out += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(data for _, data in images)
(folder / "fernwell.ico").write_bytes(out)
PY
