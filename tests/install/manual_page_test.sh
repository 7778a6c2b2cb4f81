#!/usr/bin/env bash
# The manual page renders without a warning and describes every subcommand and option that
# `sonoriel --help` lists, every SONORIEL_ variable the program reads, and the three exit
# statuses.
# usage: manual_page_test.sh MANUAL_PAGE SONORIEL SOURCE_DIR
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"
require_tool groff

page=$1
sonoriel=$2
sources=$3

warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
[[ -z $warnings ]] || fail "groff warns about the manual page: $warnings"
text=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$page" 2>/dev/null)

# section NAME: the rendered text of one section, up to the next heading.
section()
{
    awk -v name="$1" '/^[A-Z]/ { inside = ($0 == name); next } inside' <<<"$text"
}

subcommands=$(section SUBCOMMANDS)
for subcommand in $(help_subcommands "$sonoriel"); do
    grep -qE "^ {7}$subcommand( |$)" <<<"$subcommands" || fail "SUBCOMMANDS has no entry for $subcommand"
    for option in $(help_options "$sonoriel" "$subcommand"); do
        # An entry of its own: "       --device N", "       --mono, --stereo".
        grep -qE -- "^ {7}([^ ]+, )*$option( |,|$)" <<<"$text" || fail "the manual page has no entry for $subcommand $option"
    done
done
for option in $(help_top_options "$sonoriel"); do
    grep -qE -- "^ {7}$option( |,|$)" <<<"$subcommands" || fail "SUBCOMMANDS has no entry for $option"
done

environment=$(section ENVIRONMENT)
variables=$(grep -rhoE '(qEnvironmentVariable[A-Za-z]*|qgetenv|getenv)\("SONORIEL_[A-Z_]+"' "$sources" |
    grep -oE 'SONORIEL_[A-Z_]+' | sort -u)
[[ -n $variables ]] || fail "no SONORIEL_ variable found in $sources"
for variable in $variables; do
    grep -qE "^ {7}$variable\$" <<<"$environment" || fail "ENVIRONMENT does not describe $variable"
done

statuses=$(section "EXIT STATUS" | grep -oE '^ {7}[0-9]+( |$)' | tr -d ' ' | paste -sd ' ')
[[ $statuses == "0 1 2" ]] || fail "EXIT STATUS lists '$statuses', not 0 1 2"

finish
