#!/usr/bin/env bash
# The program's CPU use while it records from its main window with the live display running
# and all four effects on: the real sonoriel under a private Xvfb display on the virtual device
# at the pace of real time, driven from the keyboard like a user would.
#
#     bench/window/window_cpu.sh [seconds of recording, default 60] [path to sonoriel]
#
# Prints the CPU seconds the program used per minute of recording (user + system, from
# /proc/<pid>/stat), the same as a share of one core, and the X server's own share for the
# drawing it was sent. Goal: under 3 % of one core for the program.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/xsession.sh
seconds=${1:-60}
exe=${2:-build/bin/sonoriel}
[ -x "$exe" ] || { echo "introuvable : $exe (./run.sh ou ./test.sh le construit)" >&2; exit 1; }

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

xsession_start
xsession_run_sonoriel "$(realpath "$exe")"
main=$(window_named "Sonoriel : Enregistrement WAV")
xdotool windowfocus --sync "$main"
# From the record button, Tab walks the four effect boxes (Space checks each); Shift+Tab
# comes back to the record button and Space starts the recording.
press Tab space Tab space Tab space Tab space shift+Tab shift+Tab shift+Tab shift+Tab space
sleep 2 # the first blocks, the display's first frames
import -window "$main" "$xs_work/recording.png"

app_start=$(cpu_ticks "$xs_app_pid")
x_start=$(cpu_ticks "$xs_xvfb_pid")
sleep "$seconds"
app_used=$(( $(cpu_ticks "$xs_app_pid") - app_start ))
x_used=$(( $(cpu_ticks "$xs_xvfb_pid") - x_start ))
press space
sleep 1

wav=$(ls "$xs_work"/Musique/Sonoriel/Wav/*.wav)
recorded=$(soxi -D "$wav")
out_dir=${SONORIEL_BENCH_OUT:-}
[ -n "$out_dir" ] && cp "$xs_work/recording.png" "$out_dir/window-cpu-recording.png"
awk -v a="$app_used" -v x="$x_used" -v t="$ticks_per_second" -v s="$seconds" -v r="$recorded" 'BEGIN {
  printf "enregistrement : %.1f s mesurées sur %.1f s de fichier\n", s, r
  printf "sonoriel : %.2f s de CPU par minute d'\''enregistrement (%.2f %% d'\''un cœur)\n", a / t * 60 / s, a / t / s * 100
  printf "Xvfb     : %.2f s de CPU par minute d'\''enregistrement (%.2f %% d'\''un cœur)\n", x / t * 60 / s, x / t / s * 100
}'
