#!/bin/sh
# The message dialog's first showing in a process, this tree's build against another revision's
# (default main), in interleaved rounds: median and range of the time until it is shown, per case.
# Usage: bench/message.sh [build folder] [revision] [case...]   (ROUNDS in the environment,
# default 11; cases as bench_message takes them, default text-1m links-1m)
# The revision is exported to a temporary folder, given this tree's bench, and built there.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
REV="${2:-main}"
[ $# -gt 2 ] && shift 2 || set --
CASES="${*:-text-1m links-1m}"
ROUNDS="${ROUNDS:-11}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_message >/dev/null
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-message-XXXXXX")"
trap 'rm -rf "$W"' EXIT
git archive "$REV" | tar -x -C "$W"
cp bench/message_bench.cpp bench/CMakeLists.txt "$W/bench/"
cmake -S "$W" -B "$W/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$W/build" --target bench_message >/dev/null

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
i=0
while [ "$i" -lt "$ROUNDS" ]; do
  for c in $CASES; do
    "$W/build/bench/bench_message" 1 "$c" 2>/dev/null | sed "s/^/$REV /" >>"$W/rounds"
    "$BUILD/bench/bench_message" 1 "$c" 2>/dev/null | sed "s/^/this /" >>"$W/rounds"
  done
  i=$((i + 1))
done
# Lines read "<which> <case> <bytes> bytes median <ms> ms ...": one round each.
for c in $CASES; do
  for which in "$REV" this; do
    awk -v w="$which" -v c="$c" '$1 == w && $2 == c { print $6 }' "$W/rounds" | sort -n |
      awk -v w="$which" -v c="$c" '{ v[NR] = $1 } END {
        printf "%-11s %-5s first showing: median %7.1f ms  range %7.1f .. %7.1f  (%d rounds)\n",
               c, w, v[int((NR + 1) / 2)], v[1], v[NR], NR }'
  done
done
