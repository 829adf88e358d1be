#!/bin/sh
# Times the encoder and the ripper against the command-line tools on the same input, best of
# RUNS runs each (default 3; the machine is shared):
# TLameCoder against lame on a 5-minute stereo WAV at 128 kbit/s CBR (equal output length
# expected), and ripping every track of a 10-track image to WAV against cd-paranoia, and to MP3
# against cd-paranoia followed by lame, also as "Mono" at 22050 Hz against cd-paranoia -Z piped
# to lame -m m --resample 22.05 (decoded lengths compared).
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

echo "== rip 10 tracks to MP3, \"Mono\" at 22050 Hz, 128 kbit/s CBR"
mkdir "$W/mono" "$W/cdpmono"
best "TCDRipper to MP3, Mono 22050" "'$B' rip $LETTER '$W/mono' mp3 mono"
# The same settings as ours: CRC on, no "original" bit, no tag frame.
best "cd-paranoia -Z | lame" "cd '$W/cdpmono' && for t in 01 02 03 04 05 06 07 08 09 10; do
  cd-paranoia -q -Z -d '$CUE' \$t - | lame --quiet -b 128 --cbr -m m --resample 22.05 -p -o -t - track\$t.mp3; done"
# decoded FILE: sample frames of the decoded WAV, and its channels and rate.
decoded() {
  lame --quiet --decode "$1" "$W/dec.wav"
  ch=$(od -An -tu2 -j22 -N2 "$W/dec.wav" | tr -d ' ')
  rate=$(od -An -tu4 -j24 -N4 "$W/dec.wav" | tr -d ' ')
  echo "$(( ($(stat -c %s "$W/dec.wav") - 44) / (2 * ch) )) frames, $ch ch, $rate Hz"
}
# The track's length at 22050 Hz, from cd-paranoia's WAV of it.
for t in 01 10; do
  want=$(( ($(stat -c %s "$W/cdpz/track$t.cdda.wav") - 44) / 4 / 2 ))
  echo "track $t ($want frames at 22050 Hz): ours $(decoded "$W/mono/track$t.mp3");" \
    "cd-paranoia|lame $(decoded "$W/cdpmono/track$t.mp3")"
done
cmp -s "$W/mono/track01.mp3" "$W/cdpmono/track01.mp3" && echo "track 01: the same MP3 bytes as lame" ||
  echo "track 01: MP3 bytes differ from lame's"
