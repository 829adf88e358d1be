#!/bin/sh
# Times the encoder and the ripper against the command-line tools on the same input, best of
# RUNS runs each (default 3; the machine is shared):
# TLameCoder against lame on a 5-minute stereo WAV at 128 kbit/s CBR (equal output length
# expected), and ripping every track of a 10-track image to WAV against cd-paranoia, and to MP3
# against cd-paranoia followed by lame.
# Usage: bench/cdaudio.sh [build folder]   (default: build)
# SECONDS_WAV and TRACK_SECONDS in the environment change the sizes.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
RUNS="${RUNS:-3}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_cdaudio
B="$(pwd)/$BUILD/bench/bench_cdaudio"
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-cdaudio-XXXXXX")"
trap 'rm -rf "$W"' EXIT

# best LABEL COMMAND...: the shortest wall time of RUNS runs.
best() {
  label="$1"; shift
  min=""
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    t0=$(date +%s.%N); sh -c "$*" >/dev/null 2>&1; t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc)
    if [ -z "$min" ] || [ "$(echo "$t < $min" | bc)" = 1 ]; then min=$t; fi
    i=$((i + 1))
  done
  printf '%-34s %8.3f s\n' "$label" "$min"
}

echo "== WAV to MP3, ${SECONDS_WAV:-300} s stereo, 128 kbit/s CBR"
"$B" wav "$W/in.wav" "${SECONDS_WAV:-300}"
best "TLameCoder" "'$B' encode '$W/in.wav' '$W/ours.mp3'"
# The same settings: stereo, CRC on (the components' default), no tag frame.
best "lame" "lame --quiet -b 128 --cbr -m s -p -t '$W/in.wav' '$W/lame.mp3'"
echo "sizes: ours $(stat -c %s "$W/ours.mp3"), lame $(stat -c %s "$W/lame.mp3")"

echo "== rip 10 tracks of ${TRACK_SECONDS:-60} s"
CUE=$("$B" disc "$W" 10 "${TRACK_SECONDS:-60}")
export SONOVERNE_CD_IMAGES="$CUE"
LETTER=D   # the image comes after the machine's CD devices: none on the bench machines
mkdir "$W/wav" "$W/mp3" "$W/cdp" "$W/cdpz" "$W/cdpmp3"
best "TCDRipper to WAV" "'$B' rip $LETTER '$W/wav' wav"
best "cd-paranoia" "cd '$W/cdp' && cd-paranoia -q -d '$CUE' -B 1-"
# An image needs no verification: the ripper reads it straight, as cd-paranoia -Z does.
best "cd-paranoia -Z" "cd '$W/cdpz' && cd-paranoia -q -Z -d '$CUE' -B 1-"
best "TCDRipper to MP3" "'$B' rip $LETTER '$W/mp3' mp3"
best "cd-paranoia -Z + lame" "cd '$W/cdpmp3' && cd-paranoia -q -Z -d '$CUE' -B 1- &&
  for f in *.wav; do lame --quiet -b 128 --cbr -m s -p -t \"\$f\" \"\${f%.wav}.mp3\"; done"
echo "files: ours $(ls "$W/wav" | wc -l) wav, $(ls "$W/mp3" | wc -l) mp3; cd-paranoia $(ls "$W/cdpz" | wc -l) wav"
# The audio after the headers (ours counts one sector less in its header, as the rips' WAV
# header does).
for t in 01 07; do
  cmp -s -i 44 "$W/wav/track$t.wav" "$W/cdpz/track$t.cdda.wav" && echo "track $t: same audio as cd-paranoia -Z" ||
    echo "track $t: differs from cd-paranoia -Z"
done
