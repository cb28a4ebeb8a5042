#!/bin/bash
# A busy minute of play at full volume, through the disk audio output: -20
# LUFS integrated (+-2, EBU R128), true peak at -1 dBTP or under, and not one
# sample at full scale. usage: loudness.sh LOUD_GAME OUTDIR
set -eu
out=$2
mkdir -p "$out"
"$1" busy "$out/busy.raw" | tee "$out/limiter.txt"
ffmpeg -hide_banner -nostats -f s16le -ar 22050 -ac 2 -i "$out/busy.raw" -af ebur128=peak=true -f null - 2>"$out/ebur128.txt"
summary=$(sed -n '/Summary:/,$p' "$out/ebur128.txt")
echo "$summary"
integrated=$(awk '$1 == "I:" { print $2 }' <<<"$summary")
peak=$(awk '/True peak:/ { on = 1 } on && $1 == "Peak:" { print $2; exit }' <<<"$summary")
awk -v i="$integrated" -v p="$peak" 'BEGIN { exit !(i >= -22 && i <= -18 && p <= -1) }' ||
    { echo "FAIL: integrated $integrated LUFS (wants -22..-18), true peak $peak dBTP (wants <= -1)"; exit 1; }
python3 -c "import array, sys; s = array.array('h', open(sys.argv[1], 'rb').read())
sys.exit(len(s) < 22050 * 2 * 40 or max(s) == 32767 or min(s) == -32768)" "$out/busy.raw" ||
    { echo "FAIL: a sample at full scale, or less than 40 s recorded"; exit 1; }
