#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test through ctest.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/tools/install-deps.sh"
cmake -S "$here" -B "$here/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERVANE_SANITIZE=ON -DMERVANE_TEST_SWITCHES=ON
cmake --build "$here/build/test"
export QT_QPA_PLATFORM=offscreen
cd "$here/build/test"
ctest --output-on-failure -j"$(nproc)" "$@"
