#!/usr/bin/env bash
# Starts the program. Without a display there is nothing to open a window on: say so.
set -eu
build=${1:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): the Fernwell window cannot open here."
  exit 0
fi
exec "$build/bin/fernwell"
