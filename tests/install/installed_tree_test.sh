#!/usr/bin/env bash
# `cmake --install` into a temporary prefix gives exactly the installed tree, whose desktop
# entry, icon and metainfo name each other, whose manual page renders, and whose program runs
# from there: its help, a recording on the virtual device (in its recorder part) and an MP3
# conversion through the installed encoder library, found with SONORIEL_LAME_SHIM unset.
# usage: installed_tree_test.sh BUILD_DIR PRIVATE_DIR (the program's library folder, relative to the prefix)
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"
require_tool cmake ffprobe man

build=$1
shim_dir=$2
prefix=$(realpath "$(mktemp -d)")
trap 'rm -rf "$prefix"' EXIT
id=org.sonoriel.Sonoriel

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; rm -f "$prefix.log"; fail "cmake --install failed"; finish; }
rm -f "$prefix.log"

expected=$(sort <<EOF
bin/sonoriel
$shim_dir/liblameencshim.so
$shim_dir/libsonoriel-recorder.so
$shim_dir/libsonoriel-window.so
share/applications/$id.desktop
share/bash-completion/completions/sonoriel
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/sonoriel.1.gz
share/metainfo/$id.metainfo.xml
EOF
)
installed=$(cd "$prefix" && find . -type f -printf '%P\n' | sort)
[[ $installed == "$expected" ]] || fail "installed files differ from the expected tree:
$(diff <(echo "$expected") <(echo "$installed"))"

[[ -x $prefix/bin/sonoriel ]] || fail "bin/sonoriel is not executable"
for f in share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man1/sonoriel.1.gz; do
    [[ $(stat -c %a "$prefix/$f") == 644 ]] || fail "$f is not mode 644"
done

# The desktop entry starts the installed program and shows the installed icon; the metainfo
# launches that entry and names the program it provides.
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[[ -x $prefix/bin/$exec_name ]] || fail "the desktop entry starts '$exec_name', which is not in bin/"
[[ -f $prefix/share/icons/hicolor/scalable/apps/$icon_name.svg ]] || fail "the desktop entry's icon '$icon_name' is not installed"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $id.desktop"
grep -q "<binary>$exec_name</binary>" "$metainfo" || fail "the metainfo does not provide $exec_name"
grep -q '@[A-Z_]*@' "$metainfo" && fail "the metainfo still holds unfilled @VARIABLES@"

manual=$(MANWIDTH=80 man -l "$prefix/share/man/man1/sonoriel.1.gz" 2>&1)
grep -q '^NAME' <<<"$manual" || fail "the installed manual page does not render"
grep -q '@[A-Z_]*@' <<<"$manual" && fail "the manual page still holds unfilled @VARIABLES@"

# The program as installed, away from the build tree.
unset SONORIEL_LAME_SHIM
export SONORIEL_AUDIO=virtual SONORIEL_VIRTUAL_SPEED=0 SONORIEL_HOME=$prefix/home QT_QPA_PLATFORM=offscreen
help=$("$prefix/bin/sonoriel" --help) || fail "the installed sonoriel --help exits $?"
grep -q '^  convert ' <<<"$help" || fail "the installed sonoriel --help does not list convert"

wav=$prefix/home/tone.wav
mkdir -p "$prefix/home"
"$prefix/bin/sonoriel" record "$wav" --seconds 0.5 >/dev/null 2>"$prefix/record.log" ||
    { cat "$prefix/record.log" >&2; fail "the installed sonoriel record failed"; }

# LD_DEBUG=files names every library the loader opens: the shim must come from the tree.
mp3=$prefix/home/tone.mp3
LD_DEBUG=files "$prefix/bin/sonoriel" convert "$wav" "$mp3" 2>"$prefix/convert.log"
status=$?
((status == 0)) || { grep -v '^ *[0-9]*:' "$prefix/convert.log" >&2; fail "the installed sonoriel convert exits $status"; }
grep -q "file=$prefix/$shim_dir/liblameencshim.so " "$prefix/convert.log" ||
    fail "convert did not load the encoder library from $prefix/$shim_dir"

probe=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,channels,sample_rate \
    -of default=noprint_wrappers=1 "$mp3" 2>&1)
[[ $probe == $'codec_name=mp3\nsample_rate=44100\nchannels=2' ]] || fail "ffprobe sees in the MP3: $probe"

finish
