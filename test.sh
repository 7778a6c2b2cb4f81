#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test. The tests that need a sound
# server start a private PulseAudio daemon of their own (tests/support).
#   ./test.sh              the ordinary build, in build/
#   ./test.sh --sanitize   everything built with AddressSanitizer and UndefinedBehaviorSanitizer,
#                          in build-sanitize/; any report fails the test that caused it
#   ./test.sh --threads    the capture and device tests built with ThreadSanitizer, in
#                          build-tsan/ (slow, so not part of the ordinary run)
set -euo pipefail
cd "$(dirname "$0")"
options=(-DSONORIEL_BUILD_TESTS=ON)
# CI (.ci/run) builds with the compiler's warnings as errors.
[ "${SONORIEL_WARNINGS_AS_ERRORS:-}" = ON ] && options+=(-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
default_dir=build
selection=()
suppressions="$(pwd)/tests/support/sanitizers"
for argument in "$@"; do
  case $argument in
    --sanitize)
      options+=(-DSONORIEL_SANITIZE=address)
      default_dir=build-sanitize
      # A report stops the program with a failure; leaks are reported too. Full stacks, so a
      # suppression can name the library a leak comes from.
      export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:fast_unwind_on_malloc=0}
      export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$suppressions/leaks.supp}
      export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
      ;;
    --threads)
      options+=(-DSONORIEL_SANITIZE=thread)
      default_dir=build-tsan
      export SONORIEL_BUILD_TARGETS="platform_tests recording_tests"
      selection=(--tests-regex '^(platform_tests|recording_tests)$')
      export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:suppressions=$suppressions/threads.supp}
      ;;
    *)
      echo "usage : ./test.sh [--sanitize | --threads]" >&2
      exit 2
      ;;
  esac
done
export SONORIEL_BUILD_DIR=${SONORIEL_BUILD_DIR:-$default_dir}
./scripts/setup.sh "${options[@]}"
cd "$SONORIEL_BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "${selection[@]}"
