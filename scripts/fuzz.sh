#!/bin/sh
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) in build-fuzz and runs each in turn,
# seeded with the tests' fixtures; what a run finds is kept in build-fuzz/artifacts/.
#   scripts/fuzz.sh [seconds per target] [target...]     (default: 600, every target)
# FUZZ_FLAGS adds libFuzzer options, e.g. FUZZ_FLAGS="-runs=1000000 -jobs=4 -workers=4".
set -e
cd "$(dirname "$0")/.."
SECONDS_TO_RUN="${1:-600}"
[ $# -gt 0 ] && shift
OUT=build-fuzz
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
cmake -S . -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DSONOVERNE_CORE_ONLY=ON -DSONOVERNE_SANITIZE=ON -DSONOVERNE_FUZZ=ON -DSONOVERNE_WERROR=ON >/dev/null
cmake --build "$OUT" --target fuzzers
mkdir -p "$OUT/artifacts"
while read -r t max_len; do
  if [ $# -gt 0 ]; then
    case " $* " in *" $t "*) ;; *) continue ;; esac
  fi
  echo "== $t: $SECONDS_TO_RUN s"
  mkdir -p "$OUT/corpus/$t"
  # shellcheck disable=SC2086
  "$OUT/fuzz/$t" -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 -max_total_time="$SECONDS_TO_RUN" \
    -print_final_stats=1 -artifact_prefix="$OUT/artifacts/$t-" $FUZZ_FLAGS "$OUT/corpus/$t" "$OUT/fuzz/seeds/$t" </dev/null
done <"$OUT/fuzz/targets.txt"
