#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test. The tests that need a sound
# server start a private PulseAudio daemon of their own (tests/support).
set -euo pipefail
cd "$(dirname "$0")"
export SONORIEL_BUILD_DIR=${SONORIEL_BUILD_DIR:-build}
./scripts/setup.sh -DSONORIEL_BUILD_TESTS=ON
cd "$SONORIEL_BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
