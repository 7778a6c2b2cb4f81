#!/usr/bin/env bash
# Starts Sonoriel under a private Xvfb display with the virtual capture device, records a few
# seconds from the main window and saves a picture of the window while it records.
#
#     scripts/screenshot.sh [output folder]      (default: docs/screenshots)
#
# The program is the one ./run.sh builds (build/src/app/sonoriel), or $SONORIEL_EXE. Nothing of
# the user's is touched: recordings, settings and the instance lock live in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/xsession.sh
out_dir=$(realpath -m "${1:-docs/screenshots}")
mkdir -p "$out_dir"

exe=${SONORIEL_EXE:-}
if [ -z "$exe" ]; then
  ./scripts/setup.sh -DSONORIEL_BUILD_TESTS=OFF >&2
  exe=${SONORIEL_BUILD_DIR:-build}/src/app/sonoriel
fi

# Saves the window as a PNG once its contents had time to draw.
save_window() {
  sleep 1
  import -window "$1" "$2"
  echo "$2"
}

xsession_start
xsession_run_sonoriel "$(realpath "$exe")"
main=$(window_named "Sonoriel : Enregistrement WAV")
xdotool windowfocus --sync "$main"
# The record button holds the focus when the window opens: Space starts the recording.
press space
sleep 4
save_window "$main" "$out_dir/main-window.png"
press space
