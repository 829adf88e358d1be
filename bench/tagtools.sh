#!/bin/sh
# Times case formatting of 10,000 tagged files and the text list of 100,000 files (folder and
# album headers on) against a load-only pass over the same files. The 100,000-file collection is
# made once and kept; the 10,000-file one is rewritten by every run (it is only for this bench).
# Usage: bench/tagtools.sh [build folder]   (default: build; a full configure, not CORE_ONLY)
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
SMALL="${SMALL:-/tmp/sonoverne-tagtools-10000}"
LARGE="${LARGE:-/tmp/sonoverne-tagtools-100000}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_tagtools sonoverne-makecollection
make_once() {
  if [ ! -f "$1.stamp" ]; then
    if [ -e "$1" ]; then echo "$1 exists but is not a finished collection: remove it" >&2; exit 1; fi
    shift_folder="$1"; shift
    "$BUILD/tools/sonoverne-makecollection" "$shift_folder" "$@"
    touch "$shift_folder.stamp"
  fi
}
make_once "$SMALL" --files 10000 --folders 1000 --artists 500 --albums 1000
make_once "$LARGE" --files 100000 --folders 10000 --artists 5000 --albums 10000
QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_tagtools" "$SMALL" "$LARGE"
