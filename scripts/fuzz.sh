#!/bin/sh
# Builds the tag library's fuzzer (clang, libFuzzer, ASan, UBSan) and runs it, seeded with the
# fixtures the tests generate through mutagen. Not part of CI.
#   scripts/fuzz.sh [seconds]     (default 600)
set -e
cd "$(dirname "$0")/.."
SECONDS_TO_RUN="${1:-600}"
OUT=build-fuzz
mkdir -p "$OUT/corpus" "$OUT/seeds"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Itaglib taglib/id3frames.cpp taglib/id3read.cpp taglib/id3text.cpp taglib/id3write.cpp \
  taglib/id3codecs.cpp taglib/id3io.cpp fuzz/id3v2_fuzzer.cpp \
  -lz -o "$OUT/id3v2_fuzzer"
/usr/bin/python3 tests/taglib/mutagen_tool.py fixtures "$OUT/seeds" >/dev/null
"$OUT/id3v2_fuzzer" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
  -max_total_time="$SECONDS_TO_RUN" -print_final_stats=1 "$OUT/corpus" "$OUT/seeds"
