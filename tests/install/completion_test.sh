#!/usr/bin/env bash
# The bash completion offers every subcommand and every option that `sonoriel --help` lists,
# the fixed values of the options that have them, and WAV or MP3 names where a file goes.
# usage: completion_test.sh COMPLETION_FILE SONORIEL
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"

completion=$1
sonoriel=$2
. "$completion" || { fail "the completion does not load"; finish; }
[[ $(complete -p sonoriel 2>/dev/null) == "complete -F _sonoriel sonoriel" ]] ||
    fail "the completion does not register _sonoriel for sonoriel"

# complete WORD...: the candidates for the last word, as bash would ask for them, one a line.
complete()
{
    COMP_WORDS=(sonoriel "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _sonoriel
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

# offers EXPECTED WORD...: EXPECTED is among the candidates.
offers()
{
    local expected=$1
    shift
    grep -qxF -- "$expected" <(complete "$@") || fail "'sonoriel $*' does not offer '$expected' (offers: $(complete "$@" | tr '\n' ' '))"
}

# offers_exactly "A|B|..." WORD...: the candidates are exactly these.
offers_exactly()
{
    local expected
    expected=$(tr '|' '\n' <<<"$1" | sort)
    shift
    [[ $(complete "$@") == "$expected" ]] || fail "'sonoriel $*' offers '$(complete "$@" | tr '\n' ' ')', not '$expected'"
}

subcommands=$(help_subcommands "$sonoriel")
[[ -n $subcommands ]] || fail "no subcommand found in sonoriel --help"
for subcommand in $subcommands; do
    offers "$subcommand" ""
    for option in $(help_options "$sonoriel" "$subcommand"); do
        offers "$option" "$subcommand" --
    done
    offers --help "$subcommand" --
done
for option in $(help_top_options "$sonoriel"); do
    offers "$option" --
done
offers_exactly "$(grep '^re' <<<"$subcommands" | paste -sd '|')" re

offers_exactly "11025" record --rate 11
offers_exactly "22050" formats --rate 2
offers_exactly "echo|equalizer" record --effects e
offers_exactly "echo,phaser" record --effects echo,ph
offers_exactly "1|10|11|12|13|14|15" convert in.wav out.mp3 --preset 1
offers_exactly "" record --seconds ""
offers_exactly "--mono" formats --m

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/takes"
touch "$work/take one.wav" "$work/LOUD.WAV" "$work/take.mp3" "$work/notes.txt"
cd "$work" || exit 1
offers_exactly "LOUD.WAV|take one.wav|takes" record ""
offers_exactly "take one.wav|takes" join out.wav "take"
offers_exactly "LOUD.WAV|take one.wav|takes" convert ""
offers_exactly "take.mp3|takes" convert --preset 2 "take one.wav" ""
offers_exactly "take one.wav|takes" repair "take"
offers_exactly "" repair "take one.wav" ""

finish
