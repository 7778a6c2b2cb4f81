#!/usr/bin/env bash
# Joining two 100 MB WAV files three ways, side by side on the same warm files: `cat` (the copy's
# physical floor: the bytes only pass through), `sox a.wav b.wav out.wav` (what a user would
# pick instead) and `sonoriel join`. Each tool runs ROUNDS times in turn; the median time of
# each gives its throughput (bytes of the two sources per second) and the ratios.
#
# usage: join_vs_cat_sox.sh SONORIEL_BINARY [WORK_FOLDER] [ROUNDS]
set -euo pipefail

sonoriel=${1:?usage: join_vs_cat_sox.sh SONORIEL_BINARY [WORK_FOLDER] [ROUNDS]}
work=${2:-$(mktemp -d)}
rounds=${3:-7}
mkdir -p "$work"

# 100 MB of 16-bit stereo at 44100 Hz is 566.9 s; the noise keeps every byte different.
seconds=567
for name in a b; do
    if [ ! -s "$work/$name.wav" ]; then
        sox -R -n -r 44100 -c 2 -b 16 "$work/$name.wav" synth "$seconds" whitenoise vol 0.5
    fi
done
source_bytes=$(( $(stat -c %s "$work/a.wav") + $(stat -c %s "$work/b.wav") ))
cat "$work/a.wav" "$work/b.wav" > /dev/null # warm the page cache for every tool alike

run_cat() { cat "$work/a.wav" "$work/b.wav" > "$work/out_cat.wav"; }
run_sox() { sox "$work/a.wav" "$work/b.wav" "$work/out_sox.wav"; }
run_sonoriel() { "$sonoriel" join "$work/out_sonoriel.wav" "$work/a.wav" "$work/b.wav" 2> /dev/null; }
# The program's start-up alone (a usage error copies nothing): loading Qt and the sound
# libraries, which a join of any size pays once.
run_startup() { "$sonoriel" join 2> /dev/null || true; }

declare -A times
for ((round = 0; round < rounds; ++round)); do
    for tool in cat sox sonoriel startup; do
        rm -f "$work/out_$tool.wav"
        sync -f "$work" 2> /dev/null || true
        start=$(date +%s.%N)
        "run_$tool"
        end=$(date +%s.%N)
        times[$tool]+="$(echo "$end - $start" | bc -l) "
    done
done

median() { tr ' ' '\n' <<< "$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A rate
printf '%-9s %10s %12s\n' tool "median s" "MB/s"
for tool in cat sox sonoriel; do
    m=$(median "${times[$tool]}")
    rate[$tool]=$(echo "$source_bytes / $m / 1000000" | bc -l)
    printf '%-9s %10.4f %12.1f\n' "$tool" "$m" "${rate[$tool]}"
done
startup=$(median "${times[startup]}")
printf 'sonoriel start-up alone: %.4f s\n' "$startup"
printf 'sonoriel / cat = %.2f (goal >= 0.80)\n' "$(echo "${rate[sonoriel]} / ${rate[cat]}" | bc -l)"
printf 'sonoriel without its start-up / cat = %.2f\n' \
    "$(echo "$(median "${times[cat]}") / ($(median "${times[sonoriel]}") - $startup)" | bc -l)"
printf 'sonoriel / sox = %.2f (goal >= 2.00)\n' "$(echo "${rate[sonoriel]} / ${rate[sox]}" | bc -l)"

# The joined file must hold exactly the data of both sources.
if ! cmp -s <(sox "$work/out_sonoriel.wav" -t raw -) <(sox "$work/out_sox.wav" -t raw -); then
    echo "sonoriel's output differs from sox's" >&2
    exit 1
fi
