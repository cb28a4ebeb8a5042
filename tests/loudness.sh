#!/bin/bash
# A busy minute of play at full volume, through the disk audio output: -20
# LUFS integrated (+-2, EBU R128), true peak at -1 dBTP or under, and not one
# sample at full scale. usage: loudness.sh LOUD_GAME OUTDIR
set -eu
out=$2
mkdir -p "$out"
"$1" "$out/busy.raw" | tee "$out/limiter.txt"
[ "$(stat -c %s "$out/busy.raw")" -gt $((88200 * 40)) ] || { echo "FAIL: less than 40 s of sound recorded"; exit 1; }
ffmpeg -hide_banner -nostats -f s16le -ar 22050 -ac 2 -i "$out/busy.raw" -af ebur128=peak=true+sample -f null - 2>"$out/ebur128.txt"
sed -n '/Summary:/,$p' "$out/ebur128.txt"
# Sample peaks print to a tenth of a decibel: full scale reads -0.0 or 0.0.
sed -n '/Summary:/,$p' "$out/ebur128.txt" | awk '$1 == "I:" { i = $2 } /peak:/ { kind = $1 } $1 == "Peak:" { p[kind] = $2 }
    END { exit !(i >= -22 && i <= -18 && p["True"] <= -1 && p["Sample"] < -0.05) }' ||
    { echo "FAIL: wants -22..-18 LUFS integrated, true peak <= -1 dBTP, no sample at full scale"; exit 1; }
