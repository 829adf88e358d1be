#!/bin/sh
# The CDDB client against one chunk announced as 0x7fffffff bytes, this tree's build against
# another revision's (default main), in interleaved rounds: median and range of the client's
# peak resident memory and of the time to the refusal.
# Usage: bench/cddb.sh [build folder] [revision]   (ROUNDS in the environment, default 11)
# The revision is exported to a temporary folder, given this tree's bench and its server, and
# built there (ccache helps).
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
REV="${2:-main}"
ROUNDS="${ROUNDS:-11}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_cddb >/dev/null
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-cddb-XXXXXX")"
trap 'rm -rf "$W"' EXIT
git archive "$REV" | tar -x -C "$W"
cp bench/cddb_bench.cpp bench/CMakeLists.txt "$W/bench/"
cp tests/common/CddbLoopbackServer.h "$W/tests/common/"
cmake -S "$W" -B "$W/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$W/build" --target bench_cddb >/dev/null

export QT_QPA_PLATFORM=offscreen
i=0
while [ "$i" -lt "$ROUNDS" ]; do
  "$W/build/bench/bench_cddb" | sed "s/^/$REV /" >>"$W/rounds"
  "$BUILD/bench/bench_cddb" | sed "s/^/this /" >>"$W/rounds"
  i=$((i + 1))
done
# stats WHICH FIELD: median and range of one column.
stats() {
  awk -v w="$1" '$1 == w { print $'"$2"' }' "$W/rounds" | sort -n |
    awk '{ v[NR] = $1 } END { printf "median %8.1f  range %8.1f .. %8.1f", v[int((NR + 1) / 2)], v[1], v[NR] }'
}
for which in "$REV" this; do
  echo "== $which, $ROUNDS rounds"
  echo "  peak RSS (MB)      $(stats "$which" 3)"
  echo "  time to refusal (ms) $(stats "$which" 5)"
  echo "  server sent (MB)   $(stats "$which" 7)"
  echo "  message: $(awk -v w="$which" '$1 == w { $1 = $2 = $3 = $4 = $5 = $6 = $7 = $8 = ""; print; exit }' "$W/rounds" | sed 's/^ *//')"
done
