#!/usr/bin/env bash
# The effects chain against SoX on the same 10-minute 44100 Hz stereo file, every effect on:
# amplifier +3 dB, echo 100 ms x 0.4, phase shifter, seven peaking bands at the equaliser's
# frequencies (80 ... 14700 Hz) and bandwidth (1.3034 octaves) with the gains of
# effects_setup.h. SoX runs the comparable chain single-threaded, writing raw to /dev/null.
# Prints values (16-bit samples) per second of each side, in wall-clock and in CPU time (user +
# system, which a busy machine inflates less), their ratios, and our time per 10240-byte block.
# The best of three runs counts for each side.
#
#   effects_vs_sox.sh [path/to/bench_effects_file] [minutes]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/bench_effects_file}
minutes=${2:-10}
runs=3
[ -x "$bin" ] || { echo "no benchmark program at $bin (build target bench_effects_file)" >&2; exit 2; }
for tool in sox bc awk /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
raw=(-t raw -r 44100 -c 2 -b 16 -e signed-integer)

# Left a 220 Hz tone, right pink noise, both well below full scale.
sox -n "${raw[@]}" "$work/in.raw" synth $((minutes * 60)) sine 220 pinknoise gain -9
bytes=$(stat -c %s "$work/in.raw")
values=$((bytes / 2))
echo "input: $minutes min, 44100 Hz stereo, $bytes bytes, $values values"

now() { date +%s.%N; }
min() { if (( $(echo "$1 < $2" | bc -l) )); then echo "$1"; else echo "$2"; fi; }

# ours: ProcessSamples alone (the program's own figures) and the whole program (with reading).
best_proc=999999 best_proc_cpu=999999 best_wall=999999 best_cpu=999999 report=""
for _ in $(seq $runs); do
    t0=$(now)
    out=$(/usr/bin/time -f 'cpu %U %S' "$bin" "$work/in.raw" 2>&1)
    t1=$(now)
    proc=$(awk '/^seconds/ {print $2}' <<<"$out")
    proc_cpu=$(awk '/^cpu_seconds/ {print $2}' <<<"$out")
    cpu=$(awk '/^cpu / {print $2 + $3}' <<<"$out")
    if (( $(echo "$proc < $best_proc" | bc -l) )); then report=$out; fi
    best_proc=$(min "$proc" "$best_proc")
    best_proc_cpu=$(min "$proc_cpu" "$best_proc_cpu")
    best_wall=$(min "$(echo "$t1 - $t0" | bc -l)" "$best_wall")
    best_cpu=$(min "$cpu" "$best_cpu")
done

bw=1.3034o
eq=(equalizer 80 $bw 3 equalizer 191 $bw -2 equalizer 455 $bw 0 equalizer 1084 $bw 4
    equalizer 2586 $bw -3 equalizer 6165 $bw 2 equalizer 14700 $bw -1)
sox_wall=999999 sox_cpu=999999
for _ in $(seq $runs); do
    t0=$(now)
    out=$(/usr/bin/time -f 'cpu %U %S' sox --single-threaded -V1 "${raw[@]}" "$work/in.raw" \
        "${raw[@]}" /dev/null gain 3 echo 1 1 100 0.4 phaser 0.8 0.74 3 0.4 0.5 -t "${eq[@]}" 2>&1)
    t1=$(now)
    sox_wall=$(min "$(echo "$t1 - $t0" | bc -l)" "$sox_wall")
    sox_cpu=$(min "$(awk '/^cpu / {print $2 + $3}' <<<"$out")" "$sox_cpu")
done

rate() { echo "$values / $1" | bc -l; }
echo "--- our ProcessSamples, best run"
grep -v '^cpu ' <<<"$report"
printf 'ours, ProcessSamples: %12.0f values/s wall  %12.0f values/s cpu\n' "$(rate "$best_proc")" "$(rate "$best_proc_cpu")"
printf 'ours, whole program:  %12.0f values/s wall  %12.0f values/s cpu (%.2f s, %.2f s cpu)\n' \
    "$(rate "$best_wall")" "$(rate "$best_cpu")" "$best_wall" "$best_cpu"
printf 'sox, whole program:   %12.0f values/s wall  %12.0f values/s cpu (%.2f s, %.2f s cpu)\n' \
    "$(rate "$sox_wall")" "$(rate "$sox_cpu")" "$sox_wall" "$sox_cpu"
printf 'ratio ProcessSamples / sox: %.2f wall, %.2f cpu\n' \
    "$(echo "$sox_wall / $best_proc" | bc -l)" "$(echo "$sox_cpu / $best_proc_cpu" | bc -l)"
printf 'ratio whole program / sox:  %.2f wall, %.2f cpu\n' \
    "$(echo "$sox_wall / $best_wall" | bc -l)" "$(echo "$sox_cpu / $best_cpu" | bc -l)"
