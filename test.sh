#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test. The tests that need a sound
# server start a private PulseAudio daemon of their own (tests/support).
#   ./test.sh              the ordinary build, in build/
#   ./test.sh --sanitize   everything built with AddressSanitizer and UndefinedBehaviorSanitizer,
#                          in build-sanitize/; any report fails the test that caused it
set -euo pipefail
cd "$(dirname "$0")"
options=(-DSONORIEL_BUILD_TESTS=ON)
default_dir=build
for argument in "$@"; do
  case $argument in
    --sanitize)
      options+=(-DSONORIEL_SANITIZE=address)
      default_dir=build-sanitize
      # A report stops the program with a failure; leaks are reported too.
      export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1}
      export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
      ;;
    *)
      echo "usage : ./test.sh [--sanitize]" >&2
      exit 2
      ;;
  esac
done
export SONORIEL_BUILD_DIR=${SONORIEL_BUILD_DIR:-$default_dir}
./scripts/setup.sh "${options[@]}"
cd "$SONORIEL_BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
