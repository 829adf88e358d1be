#!/bin/sh
# Installs what the build, the program and the tests need on Debian 12, then configures and
# builds. Usage: scripts/setup.sh [build folder [cmake options...]]   (default: build)
set -e
cd "$(dirname "$0")/.."
PACKAGES="cmake ninja-build g++ pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev libgl-dev zlib1g-dev libgtest-dev libgmock-dev
  libcdio-dev libcdio-paranoia-dev libmp3lame-dev lame mp3gain
  libcddb2-dev cd-paranoia
  python3 python3-mutagen libtag1-dev
  xvfb xauth openbox x11-utils fonts-dejavu-core dbus dbus-x11 xdg-utils
  qt6-translations-l10n"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
BUILD="${1:-build}"
[ $# -gt 0 ] && shift
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$BUILD"
