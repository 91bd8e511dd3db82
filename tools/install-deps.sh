#!/usr/bin/env bash
# Installs the Debian packages Mervane needs to build, test and benchmark.
# Only packages that are missing are installed; nothing happens when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools
  zlib1g-dev libdeflate-dev libpng-dev libssl-dev libicu-dev
  # Reading photos' EXIF and XMP, and songs' tags.
  libexiv2-dev libtag1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # The tests' HEIC, AVIF and Ogg samples are made with these encoders.
  libheif-examples vorbis-tools
  attr rename python3
  xvfb xauth
  # The package and the desktop's files: building the .deb, the validators of the tests, the
  # session bus of the hand-over tests, and the shells whose completions are tested.
  dpkg-dev file lintian desktop-file-utils appstream man-db mandoc
  dbus-daemon dbus-bin bash zsh fish
)
# The tools the metadata benchmark compares with, only for ./bench.sh (install-deps.sh --bench).
if [ "${1:-}" = "--bench" ]; then
  packages+=(exiv2 libimage-exiftool-perl)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run as root, or install them with: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
