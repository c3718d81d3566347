#!/bin/sh
# vexar-cli's help followed by the help of each of its subcommands, laid out for help2man: a
# section SUBCOMMANDS with a sub-section for each (its usage, what it does, its arguments and
# options). Any other option goes to vexar-cli as it is.
# Usage: vexar-cli-help.sh VEXAR_CLI --help|--version
set -eu
cli=$1
shift
if [ "${1-}" != --help ]; then
    exec "$cli" "$@"
fi

# The program's own help without the list of subcommands, which the section replaces.
"$cli" --help | sed '/^Subcommands:$/,$d'
subcommands=$("$cli" --help | sed -n '/^Subcommands:$/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[ -n "$subcommands" ] || { echo "vexar-cli-help.sh: no subcommands in $cli --help" >&2; exit 1; }

echo "*Subcommands*"
for sub in $subcommands; do
    # "NAME:" and an indented line make a sub-section; "Options:" would start a section.
    "$cli" "$sub" --help | awk -v name="$sub" '
        NR == 1 { what = $0; next }
        /^Usage: / { sub(/^Usage: /, ""); printf "%s:\n  %s\n\n  %s\n\n", name, $0, what; next }
        /^(Positionals|Options):$/ || /^  -h,--help / { next }
        { print }'
done
