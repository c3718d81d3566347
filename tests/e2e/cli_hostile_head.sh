#!/usr/bin/env bash
# A head that answers requests with garbage (random bytes of a reply's length, of random lengths,
# or nothing) for a while: vexar-cli record survives it, and once the head behaves the recording
# is completed with whole pings. The head survives its own garbage too. Everything on 127.0.0.1.
# Usage: cli_hostile_head.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
# shellcheck source=tests/e2e/headsim_work.sh
source "$(dirname "$0")/headsim_work.sh"

start_headsim --target 45,5,1 --garbage 0.5 --garbage-requests 24 --seed 5
loopback_settings "Number of Samples=500" "Beams=120" "DetectProfilePoints=1"

"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 10 --timeout 90 \
    "$work/hostile.R96" >"$work/record.out"
cat "$work/record.out"
retried=$(sed -n 's/.*(\([0-9]*\) blocks asked again.*/\1/p' "$work/record.out")
(( retried > 0 )) || { echo "the garbage never reached the recording" >&2; exit 1; }
[[ $(whole_records "$cli" "$work/hostile.R96") == 10 ]] || { echo "not 10 whole records" >&2; exit 1; }
kill -0 "$head_pid" || { echo "the simulated head fell over" >&2; exit 1; }
echo "recorded 10 whole pings after a head that answered with garbage"
