#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Sonoriel; arguments pass through
# (./run.sh devices, ./run.sh record out.wav --seconds 5, ...).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh -DSONORIEL_BUILD_TESTS=OFF >&2
exec "${SONORIEL_BUILD_DIR:-build}/bin/sonoriel" "$@"
