#!/bin/sh
# The message dialog's first showing in a process (or the wait window's), two builds in
# interleaved rounds so that both meet the same load on the shared machine: median and range of
# the time until it is shown, and of the process's peak memory, per case.
# Usage: bench/message.sh <old build folder> <new build folder> [case...]   (ROUNDS in the
# environment, default 11; cases as bench_message takes them, default text-1m links-1m)
set -e
cd "$(dirname "$0")/.."
OLD="$1"
NEW="$2"
[ -n "$OLD" ] && [ -n "$NEW" ] || { echo "usage: bench/message.sh <old build> <new build> [case...]" >&2; exit 2; }
shift 2
CASES="${*:-text-1m links-1m}"
ROUNDS="${ROUNDS:-11}"
for b in "$OLD" "$NEW"; do cmake --build "$b" --target bench_message >/dev/null; done
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-message-XXXXXX")"
trap 'rm -rf "$W"' EXIT
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
i=0
while [ "$i" -lt "$ROUNDS" ]; do
  for c in $CASES; do
    "$OLD/bench/bench_message" 1 "$c" 2>/dev/null | sed 's/^/old /' >>"$W/rounds"
    "$NEW/bench/bench_message" 1 "$c" 2>/dev/null | sed 's/^/new /' >>"$W/rounds"
  done
  i=$((i + 1))
done
# stats BUILD CASE FIELD: median and range of one column, a line per round.
stats() {
  awk -v w="$1" -v c="$2" '$1 == w && $2 == c { print $'"$3"' }' "$W/rounds" | sort -n |
    awk '{ v[NR] = $1 } END { printf "median %7.1f (%.1f .. %.1f)", v[int((NR + 1) / 2)], v[1], v[NR] }'
}
# A line reads "<build> <case> <bytes> bytes median <ms> ms ... peak <MB> MB".
for c in $CASES; do
  for which in old new; do
    echo "$c $which: shown after (ms) $(stats "$which" "$c" 6), peak memory (MB) $(stats "$which" "$c" "(NF - 1)")"
  done
done
