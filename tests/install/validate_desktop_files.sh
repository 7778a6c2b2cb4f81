#!/usr/bin/env bash
# The desktop entry and the software-centre metainfo pass their validators with nothing to
# report, and the validators, run the same way, reject a damaged copy (so a pass means the
# files were read and checked). The metainfo's screenshot is a file of the repository.
# usage: validate_desktop_files.sh DESKTOP_FILE METAINFO_FILE SOURCE_DIR
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"
require_tool desktop-file-validate appstreamcli

desktop=$1
metainfo=$2
sources=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# desktop-file-validate prints warnings and hints but exits 0 for them: any output is a fault.
validate_desktop()
{
    local report
    report=$(desktop-file-validate "$1" 2>&1) || return 1
    [[ -z $report ]] || { echo "$report" >&2; return 1; }
}

# --strict turns warnings and infos into failures; --no-net keeps the check on this machine.
validate_metainfo()
{
    appstreamcli validate --no-net --strict "$1" >"$work/appstream.log" 2>&1
    local status=$?
    ((status == 0)) || cat "$work/appstream.log" >&2
    return $status
}

validate_desktop "$desktop" || fail "desktop-file-validate reports on $desktop"
validate_metainfo "$metainfo" || fail "appstreamcli reports on $metainfo"

sed 's/^Categories=.*/Categories=Recorder;/' "$desktop" >"$work/no-main-category.desktop"
validate_desktop "$work/no-main-category.desktop" 2>/dev/null &&
    fail "an entry without a main category passes (desktop-file-validate only hints at it)"
sed 's/Type=Application/Type=Programme/' "$desktop" >"$work/bad-type.desktop"
validate_desktop "$work/bad-type.desktop" 2>/dev/null &&
    fail "desktop-file-validate accepts an unknown entry type"

# The address points into the repository's docs/ folder: the same path must hold the picture.
image=$(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$metainfo")
png_signature=$(head -c 8 "$sources/docs/${image##*/docs/}" 2>/dev/null | od -An -tx1 | tr -d ' \n')
[[ -n $image && $png_signature == 89504e470d0a1a0a ]] ||
    fail "the metainfo's screenshot $image is not a PNG file of the repository's docs/"

grep -v '<summary>' "$metainfo" >"$work/no-summary.metainfo.xml"
validate_metainfo "$work/no-summary.metainfo.xml" 2>/dev/null &&
    fail "appstreamcli accepts metainfo without a summary"
sed 's|<content_rating type="oars-1.1"/>||' "$metainfo" >"$work/no-rating.metainfo.xml"
validate_metainfo "$work/no-rating.metainfo.xml" 2>/dev/null &&
    fail "appstreamcli --strict accepts metainfo without a content rating"

finish
