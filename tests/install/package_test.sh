#!/usr/bin/env bash
# The Debian package as a user gets it: built from a release build of its own, installed into
# a scratch root with dpkg, run from there in a private home, and removed again; lintian finds
# no error in it. Nothing is installed onto this machine.
#
#   tests/install/package_test.sh SOURCE_DIR PACKAGE_BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
fail() { echo "FAILED: $*" >&2; exit 1; }

started=$SECONDS
deb=$("$source_dir/tools/package.sh" "$build")
[ -f "$deb" ] || fail "no package was built"
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB, built in $((SECONDS - started)) s)"

# The libraries come from dpkg-shlibdeps: each one the program links appears with a version.
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 \
               libpng16-16 zlib1g libssl3 libdeflate0 libicu72; do
  [[ ", $depends" == *", $library (>= "* ]] || fail "Depends lacks $library"
done
echo "Installed-Size: $(dpkg-deb --field "$deb" Installed-Size) KiB"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The scratch root knows none of the libraries, which this machine has anyway.
dpkg --root="$root" --log=/dev/null --force-depends --install "$deb" > "$scratch/dpkg.log" 2>&1 ||
  { cat "$scratch/dpkg.log" >&2; fail "dpkg --install"; }
for file in usr/bin/mervane usr/share/applications/org.example.mervane.desktop \
            usr/share/metainfo/org.example.mervane.metainfo.xml \
            usr/share/icons/hicolor/512x512/apps/org.example.mervane.png \
            usr/share/man/man1/mervane.1.gz usr/share/doc/mervane/copyright \
            usr/share/doc/mervane/changelog.gz; do
  [ -f "$root/$file" ] || fail "not installed: $file"
done

# The installed program, in a home of its own.
home=$scratch/home
mkdir -p "$home/work" "$home/runtime"
printf 'holiday' > "$home/work/Holiday Photo.JPG"
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u LC_ALL -u LC_MESSAGES \
    LANG=C.UTF-8 HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
    XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home" "$root/usr/bin/mervane" "$@"
}
(cd "$home" && run -Console --help) > "$scratch/help.txt" || fail "-Console --help"
grep -q '^Description of supported commands:$' "$scratch/help.txt" || fail "no help printed"
[ "$(cd "$home" && run --version)" = "Mervane 2.0" ] || fail "--version"
# Preset 3 copies into ~/Desktop/output with corrected names.
(cd "$home/work" && run -Console -Preset=3 "Holiday Photo.JPG") > "$scratch/run.txt" ||
  { cat "$scratch/run.txt" >&2; fail "console run"; }
[ "$(cat "$home/Desktop/output/holiday-photo.jpg")" = holiday ] ||
  { cat "$scratch/run.txt" >&2; ls -R "$home/Desktop" >&2; fail "console run made no copy"; }
[ "$(cat "$home/work/Holiday Photo.JPG")" = holiday ] || fail "the source changed"
echo "installed program: help, version and a console run work"

# Removing the package takes every file it brought.
dpkg --root="$root" --log=/dev/null --remove mervane > "$scratch/dpkg.log" 2>&1 ||
  { cat "$scratch/dpkg.log" >&2; fail "dpkg --remove"; }
# (dpkg takes the folders it made along when they are empty.)
left=$( [ ! -d "$root/usr" ] || find "$root/usr" -type f | head -5)
[ -z "$left" ] || fail "left after removal: $left"

# lintian: errors fail, warnings are listed.
lintian_started=$SECONDS
lintian --fail-on error --display-level '>=warning' --tag-display-limit 0 "$deb" \
  > "$scratch/lintian.txt" 2>&1 || { cat "$scratch/lintian.txt"; fail "lintian found errors"; }
echo "lintian ($((SECONDS - lintian_started)) s):"
sed 's/^/  /' "$scratch/lintian.txt"
echo "package test passed in $((SECONDS - started)) s"
