#!/usr/bin/env bash
# The effects chain against SoX on the same 10-minute 44100 Hz stereo file, every effect on:
# amplifier +3 dB, echo 100 ms x 0.4, phase shifter, seven peaking bands at the equaliser's
# frequencies and bandwidth with the gains of effects_setup.h. SoX runs the comparable chain
# single-threaded, writing raw to /dev/null. Prints values (16-bit samples) per second of each,
# the ratio, and our time per 10240-byte block. The best of three runs counts for each side.
#
#   effects_vs_sox.sh [path/to/bench_effects_file] [minutes]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/bench_effects_file}
minutes=${2:-10}
runs=3
[ -x "$bin" ] || { echo "no benchmark program at $bin (build target bench_effects_file)" >&2; exit 2; }
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
raw=(-t raw -r 44100 -c 2 -b 16 -e signed-integer)

# Left a 220 Hz tone, right pink noise, both well below full scale.
sox -n "${raw[@]}" "$work/in.raw" synth $((minutes * 60)) sine 220 pinknoise gain -9
bytes=$(stat -c %s "$work/in.raw")
values=$((bytes / 2))
echo "input: $minutes min, 44100 Hz stereo, $bytes bytes, $values values"

now() { date +%s.%N; }

best_ours=0
best_wall=999999
ours_report=""
for _ in $(seq $runs); do
    t0=$(now)
    report=$("$bin" "$work/in.raw")
    t1=$(now)
    vps=$(awk '/^values_per_second/ {print $2}' <<<"$report")
    wall=$(echo "$t1 - $t0" | bc -l)
    if (( $(echo "$vps > $best_ours" | bc -l) )); then best_ours=$vps; ours_report=$report; fi
    if (( $(echo "$wall < $best_wall" | bc -l) )); then best_wall=$wall; fi
done

bw=1.3034o
eq=(equalizer 80 $bw 3 equalizer 191 $bw -2 equalizer 455 $bw 0 equalizer 1084 $bw 4
    equalizer 2586 $bw -3 equalizer 6165 $bw 2 equalizer 14700 $bw -1)
best_sox=999999
for _ in $(seq $runs); do
    t0=$(now)
    sox --single-threaded -V1 "${raw[@]}" "$work/in.raw" "${raw[@]}" /dev/null \
        gain 3 echo 1 1 100 0.4 phaser 0.8 0.74 3 0.4 0.5 -t "${eq[@]}"
    t1=$(now)
    s=$(echo "$t1 - $t0" | bc -l)
    if (( $(echo "$s < $best_sox" | bc -l) )); then best_sox=$s; fi
done
sox_vps=$(echo "$values / $best_sox" | bc -l)
ours_wall_vps=$(echo "$values / $best_wall" | bc -l)

echo "--- ProcessSamples (only the processing timed)"
echo "$ours_report"
printf 'ours:  %.0f values/s in ProcessSamples, %.0f values/s end to end (%.2f s with reading the file)\n' \
    "$best_ours" "$ours_wall_vps" "$best_wall"
printf 'sox:   %.0f values/s end to end (%.2f s)\n' "$sox_vps" "$best_sox"
printf 'ratio: %.2f x sox (processing), %.2f x sox (end to end)\n' \
    "$(echo "$best_ours / $sox_vps" | bc -l)" "$(echo "$ours_wall_vps / $sox_vps" | bc -l)"
