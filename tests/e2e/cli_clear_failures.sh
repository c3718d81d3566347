#!/usr/bin/env bash
# Every command fails alike on a file it cannot use, and leaves nothing behind: a file without a
# single whole record (random bytes, an empty file) is "FILE holds no records (N bytes
# unreadable)" with exit status 1 for info, convert, mosaic and grid; a recording without a
# position fix fails the map outputs with "no usable position fix"; damaged stretches are counted
# alike by all of them and by a batch's table. A normal run prints nothing on stderr, framework
# notes included. On 127.0.0.1.
# Usage: cli_clear_failures.sh VEXAR_CLI VEXAR_HEADSIM VEXAR_SURVEY_RECORDING
set -euo pipefail
cli=$1
headsim=$2
survey=$3
source "$(dirname "$0")/headsim_work.sh"
unset XDG_RUNTIME_DIR

start_headsim --sound-velocity 1500
loopback_settings "Number of Samples=500" "Beams=120" "Operating Range=3" "DetectProfilePoints=1" "ProfileFilterType=1"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 3 "$work/nofix.R96" >/dev/null
stop_headsim
"$survey" "$work/nofix.R96" "$work/good.R96" 2.5 -99.2 leg:90:12:0.1 seabed:5:6:0.3 >/dev/null
head -c 5000 /dev/urandom >"$work/junk.R96"
: >"$work/empty.R96"
# Garbage over the middle of the third record: one damaged stretch.
python3 - "$work/good.R96" "$work/damaged.R96" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
step = len(data) // 12
data[2 * step + 5000:2 * step + 8000] = b"\x55" * 3000
open(sys.argv[2], "wb").write(data)
PY

# case | command | exit status | what stderr (or stdout) says | the outputs that must not exist
checks=(
    "junk|info|1|junk.R96 holds no records \(5000 bytes unreadable\)|"
    "junk|convert --p96 OUT.P96 --xyz OUT.xyz|1|junk.R96 holds no records \(5000 bytes unreadable\)|OUT.P96 OUT.xyz"
    "junk|mosaic --out OUT.tif --cell 0.1|1|junk.R96 holds no records \(5000 bytes unreadable\)|OUT.tif"
    "junk|grid --out OUT.tif --cell 0.5|1|junk.R96 holds no records \(5000 bytes unreadable\)|OUT.tif"
    "empty|info|1|empty.R96 holds no records \(0 bytes unreadable\)|"
    "empty|convert --p96 OUT.P96 --xyz OUT.xyz|1|empty.R96 holds no records \(0 bytes unreadable\)|OUT.P96 OUT.xyz"
    "empty|mosaic --out OUT.tif --cell 0.1|1|empty.R96 holds no records \(0 bytes unreadable\)|OUT.tif"
    "empty|grid --out OUT.tif --cell 0.5|1|empty.R96 holds no records \(0 bytes unreadable\)|OUT.tif"
    "nofix|info|0|# 3 records, 0 damaged stretches|"
    "nofix|convert --p96 OUT.P96 --xyz OUT.xyz|1|no usable position fix in $work/nofix.R96: $work/OUT.xyz not written|OUT.xyz"
    "nofix|mosaic --out OUT.tif --cell 0.1|1|no usable position fix in $work/nofix.R96|OUT.tif"
    "nofix|grid --out OUT.tif --cell 0.5|1|no usable position fix in $work/nofix.R96|OUT.tif"
    "damaged|info|0|# 11 records, 1 damaged stretches|"
    "damaged|convert --p96 OUT.P96 --xyz OUT.xyz|0|11 pings converted .*, 1 damaged stretches skipped|"
    "damaged|mosaic --out OUT.tif --cell 0.1|0|11 pings placed .*, 0 without a position fix, 1 damaged stretches skipped|"
    "damaged|grid --out OUT.tif --cell 0.5|0|11 pings placed .*, 1 damaged stretches skipped|"
)
for check in "${checks[@]}"; do
    IFS='|' read -r name command expected message absent <<<"$check"
    rm -f "$work"/OUT.*
    set +e
    # shellcheck disable=SC2086
    "$cli" ${command//OUT/$work/OUT} --settings "$work/Vexar.INI" "$work/$name.R96" >"$work/out" 2>"$work/err"
    status=$?
    set -e
    [[ $status == "$expected" ]] || fail "$name $command: exit status $status: $(cat "$work/out" "$work/err")"
    grep -Eq -- "$message" "$work/out" "$work/err" || fail "$name $command: $(cat "$work/out" "$work/err")"
    if [[ $expected == 0 && -s "$work/err" ]]; then
        fail "$name $command printed on stderr: $(cat "$work/err")"
    fi
    for output in $absent; do
        [[ ! -e "$work/$output" ]] || fail "$name $command left $output behind"
    done
done

# A batch counts a file that holds nothing as damaged, as info does, and fails it.
mkdir "$work/batch"
cp "$work/junk.R96" "$work/damaged.R96" "$work/batch/"
set +e
"$cli" convert --settings "$work/Vexar.INI" "$work/batch" --p96 >"$work/batch.out" 2>"$work/batch.err"
status=$?
set -e
[[ $status == 1 ]] || fail "batch: exit status $status"
grep -Eq "damaged.R96 +11 +1 +[0-9.]+ +converted" "$work/batch.out" || fail "batch: $(cat "$work/batch.out")"
grep -Eq "junk.R96 +0 +1 +[0-9.]+ +failed: .*junk.R96 holds no records \(5000 bytes unreadable\)" "$work/batch.out" ||
    fail "batch: $(cat "$work/batch.out")"
[[ ! -e $work/batch/junk.P96 && -s $work/batch/damaged.P96 ]] || fail "batch outputs"
echo "junk, empty, no-fix and damaged files fail and count alike in info, convert, mosaic and grid"
