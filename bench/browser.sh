#!/bin/sh
# Times the main window's scan of 100,000 tagged MP3 files in 10,000 folders (5,000 artists,
# 10,000 albums) against a plain read of each file's first 4 KiB, then the tree, a list sort and
# the resident memory. The collection is made once under /tmp and kept for later runs.
# Usage: bench/browser.sh [build folder]   (default: build; a full configure, not CORE_ONLY)
# COLLECTION in the environment names another collection folder.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
COLLECTION="${COLLECTION:-/tmp/sonoverne-browser-collection}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_browser sonoverne-makecollection
# The stamp is written once the whole collection is there; a folder without it is left alone.
if [ ! -f "$COLLECTION.stamp" ]; then
  if [ -e "$COLLECTION" ]; then
    echo "$COLLECTION exists but is not a finished collection: remove it or set COLLECTION" >&2
    exit 1
  fi
  "$BUILD/tools/sonoverne-makecollection" "$COLLECTION" --files 100000 --folders 10000 \
    --artists 5000 --albums 10000
  touch "$COLLECTION.stamp"
fi
QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_browser" "$COLLECTION"
