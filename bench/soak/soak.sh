#!/usr/bin/env bash
# Soak test of the recorder: HOURS of audio (default 10) through the virtual device at full
# speed, recorded twice with `sonoriel record` at 22050 Hz mono 16-bit (ten hours make 1.6 GB,
# well under the 4 GiB a WAV file can hold; 44.1 kHz stereo would make 6.35 GB):
#  1. with all four effects on: the file's length must be the asked duration to the sample
#     and its header must describe exactly the bytes on disk;
#  2. with the effects off: the same, and every sample must be the virtual device's test signal
#     at its own position, which a dropped or repeated block would break from its first sample.
# During each run the recorder's resident memory (VmRSS) is sampled every second; after the
# first minute it must not grow by more than SOAK_RSS_SLACK_KB (default 1024).
#   bench/soak/soak.sh SONORIEL [HOURS] [WORKDIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sonoriel=$(realpath "${1:?usage: soak.sh SONORIEL [HOURS] [WORKDIR]}")
hours=${2:-10}
work=${3:-/tmp/sonoriel-soak}
slack_kb=${SOAK_RSS_SLACK_KB:-1024}
seconds=$(awk -v h="$hours" 'BEGIN { printf "%d", h * 3600 }')
mkdir -p "$work/home"
c++ -O2 -std=c++20 -o "$work/soak_check" "$here/soak_check.cpp"

export SONORIEL_AUDIO=virtual SONORIEL_VIRTUAL_SPEED=0 SONORIEL_HOME="$work/home"
unset SONORIEL_VIRTUAL_INPUT
# The output format is chosen apart from the capture format: the PCM one that matches it.
format=$("$sonoriel" formats --rate 22050 --mono | sed -n 's/^\([0-9]*\): PCM - 22[.,]050 kHz; 16 Bit; Mono$/\1/p')
[ -n "$format" ] || { echo "pas de format PCM 22050 Hz 16 bits mono" >&2; exit 1; }

# record NAME CHECK_ARGS... -- RECORD_OPTIONS...
record() {
  local name=$1; shift
  local check=()
  while [ "$1" != "--" ]; do check+=("$1"); shift; done
  shift
  local out="$work/$name.wav" rss="$work/$name.rss"
  rm -f "$out"
  local start; start=$(date +%s.%N)
  "$sonoriel" record "$out" --rate 22050 --mono --format "$format" --seconds "$seconds" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  local pid=$! t=0
  : >"$rss"
  while kill -0 "$pid" 2>/dev/null; do
    awk -v t="$t" '/^VmRSS:/ { print t, $2 }' "/proc/$pid/status" >>"$rss" 2>/dev/null || true
    sleep 1
    t=$((t + 1))
  done
  local status=0
  wait "$pid" || status=$?
  local end; end=$(date +%s.%N)
  echo "== $name: sonoriel record $* (${hours} h)"
  awk -v s="$start" -v e="$end" 'BEGIN { printf "temps écoulé : %.1f s\n", e - s }'
  [ "$status" -eq 0 ] || { echo "sonoriel record a échoué ($status) :"; tail -3 "$work/$name.err"; return 1; }
  ls -l "$out" | awk '{ print "taille : " $5 " octets" }'
  "$work/soak_check" "$out" "$seconds" "${check[@]}"
  echo "sox : $(sox --i -s "$out") échantillons, ffprobe : $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out") s"
  # Resident memory: at one minute, the highest after it, and the last sample.
  awk -v slack="$slack_kb" '
    { rss[$1] = $2; last = $1 }
    END {
      base = -1; top = 0
      for (t = 0; t <= last; ++t) {
        if (!(t in rss)) continue
        if (t <= 60) { base = rss[t]; continue }
        if (rss[t] > top) top = rss[t]
      }
      if (base < 0) { print "mémoire : enregistrement de moins d une minute, pas de mesure"; exit 0 }
      if (last <= 60) { printf "mémoire résidente : %d Ko à 10 s, %d Ko à la fin (%d s, moins d une minute)\n", rss[10], rss[last], last; exit 0 }
      printf "mémoire résidente : %d Ko à 10 s, %d Ko à 1 min, au plus %d Ko ensuite, %d Ko à la fin (%d s)\n", rss[10], base, top, rss[last], last
      if (top > base + slack) { print "ÉCHEC : la mémoire a grandi après la première minute"; exit 1 }
    }' "$rss"
  [ -n "${SOAK_KEEP:-}" ] || rm -f "$out"
}

failed=0
record effects -- --effects echo,phaser,amplifier,equalizer || failed=1
record signal --test-signal -- || failed=1
exit $failed
