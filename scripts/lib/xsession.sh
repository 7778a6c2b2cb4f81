# Sourced by the scripts that drive Sonoriel's windows: a private Xvfb display, a throwaway
# home for recordings, settings and the instance lock, and helpers to find windows.
#
#     source scripts/lib/xsession.sh
#     xsession_start                    # Xvfb up, DISPLAY exported, $xs_work created
#     xsession_run_sonoriel "$exe"      # the program on the virtual device; pid in $xs_app_pid
#     id=$(window_named "Sonoriel : Enregistrement WAV")
#
# Everything is stopped and removed when the calling script exits.

xs_work=""
xs_xvfb_pid=""
xs_app_pid=""

xsession_cleanup() {
  [ -n "$xs_app_pid" ] && kill "$xs_app_pid" 2>/dev/null || true
  [ -n "$xs_xvfb_pid" ] && kill "$xs_xvfb_pid" 2>/dev/null || true
  [ -n "$xs_work" ] && rm -rf "$xs_work"
}

# Installs the X tools that are missing (Xvfb, xdotool, ImageMagick's import, xdpyinfo).
xsession_install_tools() {
  local missing=() p sudo=""
  for p in xvfb xdotool imagemagick x11-utils; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

xsession_start() {
  xsession_install_tools
  xs_work=$(mktemp -d)
  trap xsession_cleanup EXIT
  local display=99
  while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$xs_work/xvfb.log" 2>&1 &
  xs_xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  if ! xdpyinfo >/dev/null 2>&1; then
    echo "Xvfb n'a pas démarré :" >&2
    cat "$xs_work/xvfb.log" >&2
    return 1
  fi
  mkdir -p "$xs_work/Musique/Sonoriel" "$xs_work/config" "$xs_work/runtime"
  chmod 700 "$xs_work/runtime"
}

# Starts the program on the virtual device at the pace of real time; its recordings go to
# $xs_work/Musique/Sonoriel/Wav.
xsession_run_sonoriel() {
  env QT_QPA_PLATFORM=xcb SONORIEL_AUDIO=virtual SONORIEL_VIRTUAL_SPEED=1 \
      SONORIEL_HOME="$xs_work/Musique/Sonoriel" XDG_CONFIG_HOME="$xs_work/config" \
      XDG_RUNTIME_DIR="$xs_work/runtime" "$@" >"$xs_work/app.log" 2>&1 &
  xs_app_pid=$!
}

# The id of the visible window whose title is exactly $1, once it is mapped.
window_named() {
  xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# Presses the keys given, one after another, in the window that holds the focus.
press() {
  xdotool key --delay 40 "$@"
}
