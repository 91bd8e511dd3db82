#!/usr/bin/env bash
# Builds Mervane's Debian package from a release build of its own (build/package, or the
# folder given as the first argument) and prints the package's path.
#
#   tools/package.sh                # build/package/packages/mervane_VERSION_ARCH.deb
#   apt install ./build/package/packages/mervane_*.deb
#
# Only the program is compiled, with Debian's hardening flags; the package's dependencies
# come from dpkg-shlibdeps.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/package}"

# Debian's flags for packages, less the debug information (the package is stripped) and the
# path rewriting, which would keep a compiler cache from reusing objects across checkouts.
flags() {
  local kept=() flag
  for flag in $(dpkg-buildflags --get "$1"); do
    case "$flag" in
      -g | -ffile-prefix-map=* | -fdebug-prefix-map=*) ;;
      *) kept+=("$flag") ;;
    esac
  done
  echo "${kept[*]}"
}
cppflags="$(flags CPPFLAGS)"
export CCACHE_BASEDIR="$here"

cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DMERVANE_TESTS=OFF -DMERVANE_BENCH=OFF -DMERVANE_DEBIAN_DOCS=ON \
  -DCMAKE_C_FLAGS="$(flags CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS) -Wl,-z,now" >&2
cmake --build "$build" --target mervane >&2
rm -rf "$build/packages"
(cd "$build" && cpack --config CPackConfig.cmake >&2)
ls "$build"/packages/*.deb
