#!/usr/bin/env bash
# Checks the Debian package scripts/package built with Debian's own tools, and what it holds,
# unpacked into an empty folder: nothing is installed or started on this computer.
# Usage: check_package.sh DEB
set -euo pipefail
deb=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

# Named as Debian names packages, with the project's version.
version=$(sed -n 's/^project(Vexar VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "the package's version is not $version"
[[ $(basename "$deb") == "vexar_${version}_$(dpkg --print-architecture).deb" ]] || fail "named $(basename "$deb")"
dpkg-deb -f "$deb" Description | grep -q 'console (vexar); the' || fail "the description lost its punctuation"

echo "-- lintian"
lintian --fail-on error "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
    fail "lintian found errors"

root=$work/root
dpkg-deb -x "$deb" "$root"
apps=$root/usr/share/applications
desktop=$(ls "$apps"/*.desktop)
for file in usr/bin/vexar usr/bin/vexar-cli usr/bin/vexar-headsim usr/share/man/man1/vexar.1.gz \
    usr/share/man/man1/vexar-cli.1.gz usr/share/man/man1/vexar-headsim.1.gz \
    usr/share/bash-completion/completions/vexar-cli usr/share/icons/hicolor/scalable/apps/vexar.svg \
    usr/share/mime/packages/vexar.xml usr/lib/systemd/system/vexar-serve.service etc/vexar/serve.conf; do
    [[ -e $root/$file ]] || fail "the package holds no /$file"
done

echo "-- desktop entry, AppStream metadata, MIME type"
desktop-file-validate "$desktop"
appstreamcli validate-tree --no-net --strict "$root"
# A recording, by its name or its first bytes, is of the type the console opens.
XDG_DATA_DIRS=$root/usr/share update-mime-database "$root/usr/share/mime"
grep -qx 'MimeType=application/x-vexar-r96;' "$desktop" || fail "the console opens no raw recordings"
grep -q '^application/x-vexar-r96:\*\.r96$' "$root/usr/share/mime/globs" || fail "*.R96 is not a raw recording"
grep -q 'R96' "$root/usr/share/mime/magic" || fail "a raw recording is not known by its signature"

echo "-- the programs, run from the unpacked package"
for program in vexar vexar-cli vexar-headsim; do
    said=$("$root/usr/bin/$program" --version 2>/dev/null)
    [[ $said == *" $version" ]] || fail "$program --version says '$said'"
done
printf '[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n' >"$work/Vexar.INI"
"$root/usr/bin/vexar-cli" info --settings "$work/Vexar.INI" \
    "$source_dir/fuzz/corpus/FuzzPlayback/two_small_records.R96" >"$work/info.out"
grep -q '^# 2 records, 0 damaged' "$work/info.out" || fail "vexar-cli info: $(cat "$work/info.out")"

echo "-- manual pages"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt")
    [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
    # Every option and argument a tagged paragraph: one help2man could not part from its
    # description would show the description inside the tag.
    if zcat "$page" | grep -q '^\.HP' || zcat "$page" | grep -A1 '^\.IP' | grep -qE '^[A-Z]+ [A-Z]+'; then
        fail "$(basename "$page"): an option run into its description"
    fi
done
# Every subcommand vexar-cli lists has its part of the page.
MANWIDTH=80 man -l "$root/usr/share/man/man1/vexar-cli.1.gz" >"$work/cli-page.txt" 2>/dev/null
subcommands=$("$root/usr/bin/vexar-cli" --help | sed -n '/^Subcommands:$/,/^$/s/^  \([a-z-]*\) .*/\1/p')
(($(wc -w <<<"$subcommands") >= 10)) || fail "vexar-cli lists only: $subcommands"
for sub in $subcommands; do
    grep -q "^   $sub:$" "$work/cli-page.txt" || fail "vexar-cli(1) has no part for $sub"
done

echo "-- bash completion"
mkdir -p "$work/files/survey"
touch "$work/files/"{a.R96,b.p96,c.txt,d.B96.bak}
completions() {
    (
        cd "$work/files"
        PATH=$root/usr/bin:$PATH bash -c '
            source /usr/share/bash-completion/bash_completion
            source "$1"
            shift
            COMP_WORDS=("$@")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMP_LINE="$*"
            COMP_POINT=${#COMP_LINE}
            spec=$(complete -p vexar-cli)
            function=${spec#*-F }
            "${function%% *}" vexar-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf "%s\n" "${COMPREPLY[@]}" | sort' \
            - "$root/usr/share/bash-completion/completions/vexar-cli" "$@"
    )
}
[[ $(completions vexar-cli "" | xargs) == "$(xargs <<<"$subcommands" | tr ' ' '\n' | sort | xargs)" ]] ||
    fail "subcommands offered: $(completions vexar-cli "" | xargs)"
[[ $(completions vexar-cli serve --t | xargs) == "--token" ]] || fail "serve --t offers $(completions vexar-cli serve --t)"
offered=$(completions vexar-cli serve -- | xargs)
for option in --udp --http --play --settings --stats; do
    [[ " $offered " == *" $option "* ]] || fail "serve -- does not offer $option: $offered"
done
[[ $(completions vexar-cli grid --stat "" | xargs) == "count max mean min" ]] || fail "grid --stat values"
# A record file named to info: recordings of every kind and folders, nothing else.
[[ $(completions vexar-cli info "" | xargs) == "a.R96 b.p96 survey" ]] ||
    fail "info offers $(completions vexar-cli info "" | xargs)"
[[ $(completions vexar-cli --config x.conf render "" | xargs) == "a.R96 survey" ]] ||
    fail "render offers $(completions vexar-cli --config x.conf render "" | xargs)"

echo "-- the systemd unit"
# Verified against this computer's own units, with the programs and manual pages of the package.
cp -rn /usr/lib/systemd/system/. "$root/usr/lib/systemd/system/"
said=$(MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" vexar-serve.service 2>&1) ||
    fail "systemd-analyze verify: $said"
[[ -z $said ]] || fail "systemd-analyze verify: $said"
# Exposure at most 2.0 of 10 (the threshold counts in tenths).
systemd-analyze security --offline=true --root="$root" --threshold=20 vexar-serve.service | tail -1 ||
    fail "the service is not hardened enough"
# The service's own file keeps the page and the records on loopback, and serve takes every line
# of it (here on ports of its own for half a second).
grep -qx 'ExecStart=/usr/bin/vexar-cli --config /etc/vexar/serve.conf serve' \
    "$root/usr/lib/systemd/system/vexar-serve.service" || fail "the service runs serve otherwise"
grep -qx 'http = "127.0.0.1:8080"' "$root/etc/vexar/serve.conf" || fail "the page is not on loopback"
"$root/usr/bin/vexar-cli" --config "$root/etc/vexar/serve.conf" serve --settings "$work/Vexar.INI" \
    --udp 0 --http 127.0.0.1:0 --duration 0.5 >"$work/serve.out" 2>&1 || fail "serve: $(cat "$work/serve.out")"
grep -q '^records: listening on 127.0.0.1:' "$work/serve.out" || fail "records: $(cat "$work/serve.out")"
echo "check_package: all checks passed"
