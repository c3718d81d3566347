#!/usr/bin/env bash
# Converts a folder of recordings in one batch: a good, a damaged and an empty file give two
# conversions, one reported failure and exit status 1. Then the README's GNU parallel command
# spreads the same conversion over the hosts of its login file, here this machine alone (":"):
# its products (on all cores) are those of the batch (one core a file). An output that names the
# recording converts nothing, and recordings of one name from two folders do not overwrite each
# other's products under --out.
# Everything on 127.0.0.1.
# Usage: cli_batch_convert.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
source "$(dirname "$0")/headsim_work.sh"
start_headsim --ring 6,0.8
loopback_settings "Number of Samples=500" "Beams=120" "DetectProfilePoints=1"
mkdir "$work/survey"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 6 "$work/live.R96" >/dev/null
with_navigation "$work/live.R96" "$work/survey/good.R96"
# Garbage over the middle of the second record; an empty file.
python3 - "$work/survey/good.R96" "$work/survey/damaged.R96" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
step = len(data) // 6
data[step + 5000:step + 8000] = b'\x55' * 3000
open(sys.argv[2], 'wb').write(data)
PY
: >"$work/survey/empty.R96"

set +e
"$cli" convert --settings "$work/Vexar.INI" "$work/survey" --p96 --b96 --xyz --xyz-format csv --out "$work/out" \
    --jobs 2 >"$work/batch.out" 2>"$work/batch.err"
status=$?
set -e
[[ $status == 1 ]] || fail "exit status $status: $(cat "$work/batch.out" "$work/batch.err")"
grep -Eq "good.R96 +6 +0 +[0-9.]+ +converted" "$work/batch.out" || fail "good: $(cat "$work/batch.out")"
grep -Eq "damaged.R96 +[0-9]+ +[1-9][0-9]* +[0-9.]+ +converted" "$work/batch.out" || fail "damaged: $(cat "$work/batch.out")"
grep -Eq "empty.R96 .*failed: " "$work/batch.out" || fail "empty: $(cat "$work/batch.out")"
grep -q "^# 3 files: 2 converted, 1 failed" "$work/batch.out" || fail "summary: $(cat "$work/batch.out")"
[[ -s $work/out/good.P96 && -s $work/out/good.csv && -s $work/out/damaged.P96 ]] || fail "outputs missing"
[[ ! -e $work/out/empty.P96 ]] || fail "the failed file left an output"

# The README's command for several hosts, on this machine alone.
printf ':\n' >"$work/hosts"
mkdir "$work/spread"
cp "$work/survey/good.R96" "$work/spread/a.R96"
cp "$work/survey/good.R96" "$work/spread/b.R96"
find "$work/spread" -name '*.R96' |
    PARALLEL=--will-cite parallel --sshloginfile "$work/hosts" \
        "$cli" convert --settings "$work/Vexar.INI" {} --p96 --b96 >/dev/null 2>&1
for copy in a b; do
    cmp "$work/spread/$copy.P96" "$work/out/good.P96"
    cmp "$work/spread/$copy.B96" "$work/out/good.B96"
done
cp "$work/survey/good.R96" "$work/kept.R96"
if "$cli" convert --settings "$work/Vexar.INI" "$work/survey/good.R96" --b96 "$work/survey/good.R96" \
    >/dev/null 2>"$work/typo.err"; then
    fail "converted onto its own recording"
fi
grep -q "is the recording: nothing converted" "$work/typo.err" || fail "typo: $(cat "$work/typo.err")"
cmp "$work/survey/good.R96" "$work/kept.R96"
mkdir "$work/again"
cp "$work/survey/damaged.R96" "$work/again/a.R96"
set +e
"$cli" convert --settings "$work/Vexar.INI" "$work/spread" "$work/again" --p96 --b96 --out "$work/clash" >"$work/clash.out" 2>&1
status=$?
set -e
[[ $status == 1 ]] || fail "clash: exit status $status"
grep -q "again/a.R96 .*failed: .*a.P96 is an output of .*spread/a.R96: not converted" "$work/clash.out" ||
    fail "clash: $(cat "$work/clash.out")"
cmp "$work/clash/a.B96" "$work/spread/a.B96"
echo "batch: two converted, one reported; GNU parallel converted two copies; no output overwrote another or a recording"
