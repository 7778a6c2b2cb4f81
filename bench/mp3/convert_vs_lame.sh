#!/usr/bin/env bash
# Converting the same 10-minute 44100 Hz stereo WAV file two ways, side by side on the same warm
# file: `lame --preset standard` (what a user would pick instead) and `sonoriel convert
# --preset 3` ("Qualité Standard"). Whole-process wall time; each tool runs ROUNDS times in turn
# and the median of each gives the ratio. Goal: sonoriel / lame <= 1.05.
#
# usage: convert_vs_lame.sh SONORIEL_BINARY [WORK_FOLDER] [ROUNDS]
set -euo pipefail

sonoriel=${1:?usage: convert_vs_lame.sh SONORIEL_BINARY [WORK_FOLDER] [ROUNDS]}
work=${2:-$(mktemp -d)}
rounds=${3:-5}
mkdir -p "$work"

# Music-like material: a chord over pink noise, so the encoder works as hard as on real sound.
if [ ! -s "$work/source.wav" ]; then
    sox -R -n -r 44100 -c 2 -b 16 "$work/source.wav" synth 600 pinknoise vol 0.3 \
        synth 600 sine mix 220 sine mix 330 sine mix 440 vol 0.8
fi
cat "$work/source.wav" > /dev/null # warm the page cache for both tools alike

run_lame() { lame --quiet --preset standard "$work/source.wav" "$work/out_lame.mp3"; }
run_sonoriel() { "$sonoriel" convert "$work/source.wav" "$work/out_sonoriel.mp3" --preset 3 2> /dev/null; }

declare -A times
for ((round = 0; round < rounds; ++round)); do
    for tool in lame sonoriel; do
        rm -f "$work/out_$tool.mp3"
        start=$(date +%s.%N)
        "run_$tool"
        end=$(date +%s.%N)
        times[$tool]+="$(echo "$end - $start" | bc -l) "
    done
done

median() { tr ' ' '\n' <<< "$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A med
printf '%-9s %10s  %s\n' tool "median s" "all rounds"
for tool in lame sonoriel; do
    med[$tool]=$(median "${times[$tool]}")
    printf '%-9s %10.3f  %s\n' "$tool" "${med[$tool]}" "${times[$tool]}"
done
printf 'sonoriel / lame = %.3f (goal <= 1.05)\n' "$(echo "${med[sonoriel]} / ${med[lame]}" | bc -l)"

# Both files must hold the whole 600 s.
for tool in lame sonoriel; do
    seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out_$tool.mp3")
    echo "$tool output: ${seconds} s"
done
