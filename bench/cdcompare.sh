#!/bin/sh
# Compares two builds on the CD and encoder work, in interleaved rounds so that both meet the same
# load on the shared machine: the ripper to WAV and to MP3 over a 10-track image, TLameCoder on a
# stereo WAV, and the CD window's whole run to MP3. Prints each build's median and spread (lowest
# to highest) of ROUNDS rounds (default 5), and the ratio of the medians (new / old).
# Usage: bench/cdcompare.sh <old build folder> <new build folder>   (full configures)
# TRACK_SECONDS, SECONDS_WAV and WINDOW_SECONDS in the environment change the sizes.
set -e
cd "$(dirname "$0")/.."
OLD="$1"
NEW="$2"
[ -n "$OLD" ] && [ -n "$NEW" ] || { echo "usage: bench/cdcompare.sh <old build> <new build>" >&2; exit 2; }
ROUNDS="${ROUNDS:-5}"
for b in "$OLD" "$NEW"; do cmake --build "$b" --target bench_cdaudio bench_cdwindow >/dev/null; done
W="$(mktemp -d "${TMPDIR:-/tmp}/sonoverne-cdcompare-XXXXXX")"
trap 'rm -rf "$W"' EXIT
"$NEW/bench/bench_cdaudio" wav "$W/in.wav" "${SECONDS_WAV:-60}"
CUE=$("$NEW/bench/bench_cdaudio" disc "$W" 10 "${TRACK_SECONDS:-20}")
export SONOVERNE_CD_IMAGES="$CUE"
LETTER=D # the image comes after the machine's CD devices: none on the bench machines

# run BUILD TAG: one round of each measure, appended to $W/<measure>.<tag>
run() {
  B="$1/bench/bench_cdaudio"
  rm -rf "$W/out" && mkdir "$W/out"
  "$B" rip $LETTER "$W/out" wav | sed 's/.*: \([0-9.]*\) s/\1/' >>"$W/rip-wav.$2"
  rm -rf "$W/out" && mkdir "$W/out"
  "$B" rip $LETTER "$W/out" mp3 | sed 's/.*: \([0-9.]*\) s/\1/' >>"$W/rip-mp3.$2"
  "$B" encode "$W/in.wav" "$W/out.mp3" | sed 's/.*: \([0-9.]*\) s/\1/' >>"$W/encode.$2"
  QT_QPA_PLATFORM=offscreen "$1/bench/bench_cdwindow" "${WINDOW_SECONDS:-10}" 1 2>/dev/null |
    sed -n "s/^window's run *\([0-9.]*\) s/\1/p" >>"$W/window.$2"
}

i=0
while [ "$i" -lt "$ROUNDS" ]; do
  # Turn about which goes first.
  if [ $((i % 2)) = 0 ]; then run "$OLD" old; run "$NEW" new; else run "$NEW" new; run "$OLD" old; fi
  i=$((i + 1))
done

# stats FILE: median, lowest and highest
stats() { sort -n "$1" | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
  printf "%.3f %.3f %.3f", m, v[1], v[NR] }'; }
echo "== $ROUNDS interleaved rounds; seconds: median (lowest - highest)"
printf '%-34s %-24s %-24s %s\n' "" "old" "new" "new/old"
for m in rip-wav rip-mp3 encode window; do
  set -- $(stats "$W/$m.old") $(stats "$W/$m.new")
  case $m in
  rip-wav) label="rip 10 x ${TRACK_SECONDS:-20} s to WAV" ;;
  rip-mp3) label="rip 10 x ${TRACK_SECONDS:-20} s to MP3" ;;
  encode) label="TLameCoder, ${SECONDS_WAV:-60} s WAV" ;;
  window) label="window's run, 10 x ${WINDOW_SECONDS:-10} s MP3" ;;
  esac
  printf '%-34s %-24s %-24s %.3f\n' "$label" "$1 ($2 - $3)" "$4 ($5 - $6)" "$(echo "$4 / $1" | bc -l)"
done
