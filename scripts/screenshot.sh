#!/usr/bin/env bash
# Starts Sonoriel under a private Xvfb display with the virtual capture device, records a few
# seconds from the main window and saves pictures of the window while it records and while the
# take is paused, of the "Programmer…" dialog, and of the other windows.
#
#     scripts/screenshot.sh [output folder]      (default: docs/screenshots)
#
# The program is the one ./run.sh builds (build/bin/sonoriel), or $SONORIEL_EXE. Nothing of
# the user's is touched: recordings, settings and the instance lock live in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/xsession.sh
out_dir=$(realpath -m "${1:-docs/screenshots}")
mkdir -p "$out_dir"

exe=${SONORIEL_EXE:-}
if [ -z "$exe" ]; then
  ./scripts/setup.sh -DSONORIEL_BUILD_TESTS=OFF >&2
  exe=${SONORIEL_BUILD_DIR:-build}/bin/sonoriel
fi

# Saves the window as a PNG once its contents had time to draw.
save_window() {
  sleep 1
  import -window "$1" "$2"
  echo "$2"
}

xsession_start
# French dates and numbers, as a French desktop shows them.
LANG=fr_FR.UTF-8 LC_ALL= xsession_run_sonoriel "$(realpath "$exe")"
main=$(window_named "Sonoriel : Enregistrement WAV")
xdotool windowfocus --sync "$main"
# The record button holds the focus when the window opens: Space starts the recording.
press space
sleep 4
save_window "$main" "$out_dir/main-window.png"
press ctrl+p
save_window "$main" "$out_dir/main-window-paused.png"
press ctrl+p
press space
sleep 1

# The other windows, through the main window's buttons. From the record button, Tab walks
# "Programmer…" (the pause button is off between takes), the four effect boxes,
# "Configuration", the six player buttons, then "Encodage Mp3", "Joindre Wav" and "A propos";
# Space presses the button, Escape closes the window it opened.
open_from_main() {
  local tabs=$1 title=$2 file=$3 id
  xdotool windowfocus --sync "$main"
  press $(printf 'Tab %.0s' $(seq "$tabs")) space
  id=$(window_named "$title")
  save_window "$id" "$out_dir/$file"
  xdotool windowfocus --sync "$id"
  press Escape
  # back on the main window, the focus where it was: walk back to the record button
  xdotool windowfocus --sync "$main"
  press $(printf 'shift+Tab %.0s' $(seq "$tabs"))
}
open_from_main 1 "Programmer un enregistrement" schedule-dialog.png
open_from_main 6 "Configuration effets" effects-window.png
open_from_main 13 "Sonoriel : Conversion Wav --> Mp3 - \[Encodeur LAME\]" mp3-window.png
open_from_main 14 "Sonoriel : Joindre des fichiers Wav" join-window.png
open_from_main 15 "A propos de Sonoriel" about-window.png
