#!/bin/sh
# Times one folder-walker run against find(1) on 100,000 empty files in 10,000 nested folders.
# Usage: bench/walker.sh [build folder]   (default: build; a full configure, not CORE_ONLY)
# FILES and FOLDERS in the environment change the size of the tree.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
FILES="${FILES:-100000}"
FOLDERS="${FOLDERS:-10000}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_walker sonoverne-makecollection
TREE="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-walker-XXXXXX")"
trap 'rm -rf "$TREE"' EXIT
"$BUILD/tools/sonoverne-makecollection" "$TREE/tree" --files "$FILES" --folders "$FOLDERS" --empty
"$BUILD/bench/bench_walker" "$TREE/tree"
