#!/bin/sh
# Times the main window's scan of a generated collection (100,000 MP3 files unless FILES says
# otherwise, in FILES/10 folders, FILES/20 artists, FILES/10 albums, with the generator's
# realistic tags, untagged files, images and playlists) against a plain read of each file's
# first 4 KiB, then the lists and tree, the three list sorts and the resident memory.
# The collection is made once under /tmp and kept for later runs.
# Usage: [FILES=300000] bench/browser.sh [build folder]   (default: build; a full configure)
# COLLECTION in the environment names another collection folder.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
FILES="${FILES:-100000}"
COLLECTION="${COLLECTION:-/tmp/sonoverne-browser-collection-$FILES}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_browser sonoverne-makecollection
# The stamp is written once the whole collection is there; a folder without it is left alone.
if [ ! -f "$COLLECTION.stamp" ]; then
  if [ -e "$COLLECTION" ]; then
    echo "$COLLECTION exists but is not a finished collection: remove it or set COLLECTION" >&2
    exit 1
  fi
  "$BUILD/tools/sonoverne-makecollection" "$COLLECTION" --files "$FILES" \
    --folders $((FILES / 10)) --artists $((FILES / 20)) --albums $((FILES / 10))
  touch "$COLLECTION.stamp"
fi
QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_browser" "$COLLECTION"
