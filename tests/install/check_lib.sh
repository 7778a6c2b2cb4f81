# Shared by the installation tests (sourced): failure bookkeeping, required tools, and what
# `sonoriel --help` lists, the one source the manual page, the completion and the README
# are checked against.

failures=0

# fail MESSAGE: records a failed check and goes on, so one run shows every fault.
fail()
{
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# finish: the test's verdict, as its exit status.
finish()
{
    if ((failures > 0)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# require_tool NAME...: a missing tool ends the test as a failure, never as a pass.
require_tool()
{
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "FAILED: the tool $tool is not installed" >&2; exit 1; }
    done
}

# help_subcommands SONORIEL: the subcommand names of the help, one a line.
help_subcommands()
{
    "$1" --help | sed -n 's/^  \([a-z][a-z0-9-]*\).*/\1/p'
}

# help_options SONORIEL SUBCOMMAND: the options that the help's synopsis of SUBCOMMAND names.
help_options()
{
    "$1" --help | sed -n "s/^  $2\\( .*\\)\$/\\1/p" | grep -o -- '--[a-z][a-z0-9-]*' | sort -u
}

# help_top_options SONORIEL: the options that stand alone, without a subcommand.
help_top_options()
{
    "$1" --help | sed -n 's/^  \(--[a-z][a-z0-9-]*\).*/\1/p'
}
