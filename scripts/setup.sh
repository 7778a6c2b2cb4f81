#!/usr/bin/env bash
# Installs what building, running and testing Sonoriel needs on Debian 12 or later, then
# configures and builds into build/. Only the packages that are missing are installed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n
  libpulse-dev libavcodec-dev libswresample-dev libavutil-dev libmp3lame-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  pulseaudio pulseaudio-utils sox libsox-fmt-all ffmpeg lame
  pipewire pipewire-pulse wireplumber dbus-daemon
  desktop-file-utils appstream man-db groff-base
  xvfb xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installation des paquets manquants : ${missing[*]}" >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${SONORIEL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
# SONORIEL_BUILD_TARGETS: build only these targets (space-separated) instead of everything.
targets=()
for target in ${SONORIEL_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
