#!/usr/bin/env bash
# Builds the Debian package of Sonoriel (CPack, into build-package/), checks its contents and
# declared dependencies, installs it on this machine with apt-get, runs the installed program
# (help, devices, a recording on the virtual device and its MP3 conversion), then removes the
# package and whatever its installation brought in, leaving the machine as it was.
# SONORIEL_KEEP_PACKAGE=1 leaves it installed.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build=${SONORIEL_PACKAGE_BUILD_DIR:-build-package}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

step() { echo "== $*" >&2; }
die() { echo "package.sh: $*" >&2; exit 1; }

step "Construction (dans $build)"
SONORIEL_BUILD_DIR=$build nice -n 10 ./scripts/setup.sh -DCMAKE_INSTALL_PREFIX=/usr \
    -DSONORIEL_BUILD_TESTS=OFF -DSONORIEL_BUILD_BENCH=OFF >&2
rm -f "$build"/sonoriel_*.deb
(cd "$build" && cpack -G DEB >&2) || die "cpack a échoué"
shopt -s nullglob
debs=("$build"/sonoriel_*.deb)
[ ${#debs[@]} -eq 1 ] || die "un seul sonoriel_*.deb attendu dans $build, trouvés : ${#debs[@]}"
deb=$(realpath "${debs[0]}")
echo "$deb"

step "Contenu du paquet"
contents=$(dpkg-deb -c "$deb")
echo "$contents"
arch_libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for path in usr/bin/sonoriel "$arch_libdir/sonoriel/liblameencshim.so" \
    "$arch_libdir/sonoriel/libsonoriel-recorder.so" "$arch_libdir/sonoriel/libsonoriel-window.so" \
    usr/share/applications/org.sonoriel.Sonoriel.desktop \
    usr/share/icons/hicolor/scalable/apps/org.sonoriel.Sonoriel.svg \
    usr/share/metainfo/org.sonoriel.Sonoriel.metainfo.xml \
    usr/share/man/man1/sonoriel.1.gz usr/share/bash-completion/completions/sonoriel; do
    grep -qE " \./$path\$" <<<"$contents" || die "le paquet ne contient pas /$path"
done

step "Dépendances déclarées"
info=$(dpkg-deb -I "$deb")
echo "$info"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libmp3lame0 libqt6multimedia6 qt6-translations-l10n libqt6widgets6 libqt6gui6 libqt6core6 libpulse0 \
    libavcodec libswresample libavutil libc6; do
    grep -qE "(^|, )$package[0-9a-z.+-]*( |,|$)" <<<"$depends" || die "Depends ne déclare pas $package : $depends"
done

step "Installation"
installed_packages() { dpkg-query -W -f='${db:Status-Status} ${Package}\n' | awk '$1 == "installed" { print $2 }' | sort; }
before=$(installed_packages)
remove_again()
{
    [ "${SONORIEL_KEEP_PACKAGE:-0}" = 1 ] && { echo "sonoriel reste installé" >&2; return; }
    step "Désinstallation"
    local after added
    after=$(installed_packages)
    added=$(comm -13 <(echo "$before") <(echo "$after") | paste -sd ' ')
    if [ -n "$added" ]; then
        # shellcheck disable=SC2086 # one word per package
        DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq $added >&2
    fi
    echo "retirés : $added" >&2
}
grep -qx sonoriel <<<"$before" && die "sonoriel est déjà installé : le retirer d'abord (apt-get purge sonoriel)"
trap remove_again EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >&2

step "Programme installé"
program=/usr/bin/sonoriel
[ "$(command -v sonoriel)" = "$program" ] || die "sonoriel du PATH est $(command -v sonoriel), pas $program"
work=$(mktemp -d)
trap 'rm -rf "$work"; remove_again' EXIT
cd "$work"
"$program" --help
echo "-- sonoriel devices"
"$program" devices
echo "-- sonoriel record (périphérique virtuel) puis convert"
SONORIEL_AUDIO=virtual SONORIEL_VIRTUAL_SPEED=0 SONORIEL_HOME=$work \
    "$program" record "$work/essai.wav" --seconds 1 2>"$work/record.log" ||
    { cat "$work/record.log" >&2; die "sonoriel record a échoué"; }
env -u SONORIEL_LAME_SHIM "$program" convert "$work/essai.wav" "$work/essai.mp3" 2>"$work/convert.log" ||
    { tail -n 3 "$work/convert.log" >&2; die "sonoriel convert a échoué"; }
mp3_bytes=$(stat -c %s "$work/essai.mp3")
[ "$mp3_bytes" -gt 1000 ] || die "le Mp3 d'une seconde ne fait que $mp3_bytes octets"
echo "essai.mp3: $mp3_bytes octets"
cd "$root"
echo "package.sh: $deb est bon" >&2
