#!/usr/bin/env bash
# Renders the window's helpers (placeholder pop-ups, help and about windows, information box,
# preset dialog) in English and German into build/screenshots/helpers/, without a desktop.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/install-deps.sh"
build="$here/build/test"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERVANE_SANITIZE=ON
fi
cmake --build "$build" --target helper_screenshots
out="$here/build/screenshots/helpers"
mkdir -p "$out"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/helper_screenshots" "$out"
