#!/usr/bin/env bash
# Renders the real main window under Xvfb, in German and English, at scale 1 and 2: every page
# with some files loaded, the new-name column with problems, the smallest window, a dark palette
# and the menus; and the windows of a run: the progress window in each phase and paused, the
# replace question counting down, the result window and its explanation, and the test run's
# properties window; and the main flow (flow-*: a folder of photos, a template typed, the new
# names, a problem marked), whose x1 pictures are the ones in docs/screenshots/ that the README and
# the AppStream metadata show. The PNG files go to build/screenshots/.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/install-deps.sh" >&2
cmake -S "$here" -B "$here/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build/release" --target mervane_screenshots >&2
out="$here/build/screenshots"
rm -rf "$out"
mkdir -p "$out"
# No desktop settings of the person running this may leak into the pictures.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
for scale in 1 2; do
  for language in 0 1; do
    name=$([ "$language" = 0 ] && echo de || echo en)
    QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 1600x1200x24" \
      "$here/build/release/tools/mervane_screenshots" "$out" "$language" "$name-x$scale"
  done
done
ls "$out"
