#!/bin/sh
# Times the encoder and the ripper against the command-line tools on the same input:
# TLameCoder against lame on a 5-minute stereo WAV at 128 kbit/s CBR (equal output length
# expected), and ripping every track of a 10-track image to WAV against cd-paranoia, and to MP3
# against cd-paranoia followed by lame.
# Usage: bench/cdaudio.sh [build folder]   (default: build)
# SECONDS_WAV and TRACK_SECONDS in the environment change the sizes.
set -e
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target bench_cdaudio
B="$BUILD/bench/bench_cdaudio"
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-cdaudio-XXXXXX")"
trap 'rm -rf "$W"' EXIT
now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }

echo "== WAV to MP3, ${SECONDS_WAV:-300} s stereo, 128 kbit/s CBR"
"$B" wav "$W/in.wav" "${SECONDS_WAV:-300}"
"$B" encode "$W/in.wav" "$W/ours.mp3"
# The same settings: stereo, CRC on (the components' default), no tag frame.
t0=$(now); lame --quiet -b 128 --cbr -m s -p -t "$W/in.wav" "$W/lame.mp3"; t1=$(now)
echo "lame: $(elapsed "$t0" "$t1") s"
echo "sizes: ours $(stat -c %s "$W/ours.mp3"), lame $(stat -c %s "$W/lame.mp3")"

echo "== rip 10 tracks of ${TRACK_SECONDS:-60} s"
CUE=$("$B" disc "$W" 10 "${TRACK_SECONDS:-60}")
export SONOVERNE_CD_IMAGES="$CUE"
LETTER=D   # the image after the machine's CD devices: none on the bench machines
mkdir "$W/wav" "$W/mp3" "$W/cdp" "$W/cdpmp3"
"$B" rip "$LETTER" "$W/wav" wav
"$B" rip "$LETTER" "$W/mp3" mp3
t0=$(now); (cd "$W/cdp" && cd-paranoia -q -d "$CUE" -B 1- >/dev/null 2>&1); t1=$(now)
echo "cd-paranoia (wav): $(elapsed "$t0" "$t1") s"
# An image needs no verification: the ripper reads it straight, as cd-paranoia -Z does.
rm -f "$W/cdp/"*
t0=$(now); (cd "$W/cdp" && cd-paranoia -q -Z -d "$CUE" -B 1- >/dev/null 2>&1); t1=$(now)
echo "cd-paranoia -Z (wav): $(elapsed "$t0" "$t1") s"
t0=$(now)
(cd "$W/cdpmp3" && cd-paranoia -q -Z -d "$CUE" -B 1- >/dev/null 2>&1 &&
 for f in *.wav; do lame --quiet -b 128 --cbr -m s -p -t "$f" "${f%.wav}.mp3"; done)
t1=$(now)
echo "cd-paranoia + lame (mp3): $(elapsed "$t0" "$t1") s"
echo "files: ours $(ls "$W/wav" | wc -l) wav, $(ls "$W/mp3" | wc -l) mp3; cd-paranoia $(ls "$W/cdp" | wc -l) wav"
# The audio after the headers (ours counts one sector less in its header, as the WAV format of
# the rips says).
for t in 01 07; do
  cmp -s -i 44 "$W/wav/track$t.wav" "$W/cdp/track$t.cdda.wav" && echo "track $t: same audio as cd-paranoia -Z" ||
    echo "track $t: differs from cd-paranoia -Z"
done
