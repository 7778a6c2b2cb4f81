#!/usr/bin/env bash
# The README holds the exact output of `sonoriel --help` in a fenced block between two marker
# comments. --check fails when the block differs from what the program prints; --update
# rewrites the block (run it after changing the command line, then commit the README).
# usage: readme_help.sh --check|--update README SONORIEL
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"

mode=$1
readme=$2
sonoriel=$3
begin='<!-- sonoriel --help: begin -->'
end='<!-- sonoriel --help: end -->'

help=$("$sonoriel" --help) || { fail "sonoriel --help exits $?"; finish; }
block=$(printf '```\n%s\n```' "$help")

[[ $(grep -cxF -- "$begin" "$readme") == 1 && $(grep -cxF -- "$end" "$readme") == 1 ]] ||
    { fail "$readme must hold each marker line exactly once: '$begin' and '$end'"; finish; }
current=$(awk -v begin="$begin" -v end="$end" '$0 == end { inside = 0 } inside { print } $0 == begin { inside = 1 }' "$readme")

case $mode in
    --check)
        [[ $current == "$block" ]] || fail "the README's help block differs from sonoriel --help (run $0 --update $readme $sonoriel):
$(diff <(echo "$current") <(echo "$block"))"
        ;;
    --update)
        updated=$(mktemp)
        trap 'rm -f "$updated"' EXIT
        # The block goes through the environment: awk -v would read backslashes as escapes.
        BLOCK=$block awk -v begin="$begin" -v end="$end" '
            $0 == end { inside = 0 }
            !inside { print }
            $0 == begin { print ENVIRON["BLOCK"]; inside = 1 }' "$readme" >"$updated" &&
            cat "$updated" >"$readme" || fail "could not rewrite $readme"
        ;;
    *)
        fail "unknown mode $mode (--check or --update)"
        ;;
esac
finish
