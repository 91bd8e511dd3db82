#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts Mervane with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/tools/install-deps.sh" >&2
cmake -S "$here" -B "$here/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build/release" --target mervane >&2
exec "$here/build/release/mervane" "$@"
