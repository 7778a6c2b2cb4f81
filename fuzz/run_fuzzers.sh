#!/usr/bin/env bash
# Runs the fuzzing harnesses one after another on one core, each for SECONDS (default 600),
# starting from the checked-in seeds; what a harness learns stays in BUILD/fuzz-work/<name>,
# a crashing input lands in BUILD/fuzz-work/<name>/crash-*. Prints each run's last statistics.
#   fuzz/run_fuzzers.sh [BUILD] [SECONDS] [HARNESS...]   (defaults: build-fuzz, 600, all)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-fuzz}")
seconds=${2:-600}
shift $(( $# > 2 ? 2 : $# ))
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(riff_file wav_reader join_header virtual_input repair)
seeds=$(realpath fuzz/corpus)

status=0
for name in "${harnesses[@]}"; do
  program="$build/fuzz/fuzz_$name"
  [ -x "$program" ] || { echo "$name: $program manque" >&2; status=1; continue; }
  work="$build/fuzz-work/$name"
  mkdir -p "$work/corpus"
  echo "== $name ($(date +%H:%M:%S))"
  # -jobs=1 runs the fuzzer as one job whose output goes to fuzz-0.log in the current folder.
  if ! (cd "$work" && nice -n 5 "$program" -jobs=1 -workers=1 -max_total_time="$seconds" \
          -rss_limit_mb=2048 -artifact_prefix="$work/" corpus "$seeds/seeds" "$seeds/regressions" \
          >"$work/driver.log" 2>&1); then
    status=1
  fi
  grep -E '^#[0-9]+' "$work/fuzz-0.log" | tail -1 || true
  grep -E 'ERROR|SUMMARY|Test unit written' "$work/fuzz-0.log" || true
  ls "$work"/crash-* "$work"/oom-* "$work"/timeout-* 2>/dev/null && status=1
done
exit $status
