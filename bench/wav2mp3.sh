#!/bin/sh
# Times the WAV-to-MP3 window's run over ten 1-minute stereo WAV files against lame over the
# same files with the same settings (128 kbit/s CBR stereo, encoder quality left to the library,
# no CRC, no VBR header frame, no tag), best of RUNS runs each (default 3; the machine is shared).
# Both are timed as whole processes: the window's program starts once, lame once a file.
# Usage: bench/wav2mp3.sh [build folder]   (default: build; a full configure, not CORE_ONLY)
# FILES and SECONDS in the environment change the sizes.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
RUNS="${RUNS:-3}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_wav2mp3
B="$(pwd)/$BUILD/bench/bench_wav2mp3"
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-wav2mp3-XXXXXX")"
trap 'rm -rf "$W"' EXIT
mkdir "$W/ours" "$W/lame"
"$B" make "$W/ours" "${FILES:-10}" "${SECONDS:-60}"
cp "$W"/ours/*.wav "$W/lame/"

echo "== ${FILES:-10} stereo WAV files of ${SECONDS:-60} s to MP3, 128 kbit/s CBR"
# Interleaved, so that both meet the same load on the shared machine.
ours=""; lame=""
i=0
while [ "$i" -lt "$RUNS" ]; do
  t0=$(date +%s.%N); QT_QPA_PLATFORM=offscreen "$B" run "$W"/ours/*.wav >/dev/null; t1=$(date +%s.%N)
  t=$(echo "$t1 - $t0" | bc); echo "window $t s"
  if [ -z "$ours" ] || [ "$(echo "$t < $ours" | bc)" = 1 ]; then ours=$t; fi
  t0=$(date +%s.%N)
  for f in "$W"/lame/*.wav; do lame --quiet -b 128 --cbr -m s -t "$f" "${f%.wav}.mp3"; done
  t1=$(date +%s.%N)
  t=$(echo "$t1 - $t0" | bc); echo "lame   $t s"
  if [ -z "$lame" ] || [ "$(echo "$t < $lame" | bc)" = 1 ]; then lame=$t; fi
  i=$((i + 1))
done
printf 'best: window %.3f s, lame %.3f s, ratio %.3f\n' "$ours" "$lame" "$(echo "$ours / $lame" | bc -l)"
echo "sizes: window $(cat "$W"/ours/*.mp3 | wc -c) bytes, lame $(cat "$W"/lame/*.mp3 | wc -c) bytes"
