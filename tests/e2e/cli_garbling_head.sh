#!/usr/bin/env bash
# What `vexar-cli record` makes of a head that garbles a fifth of its replies for 20 s (each bad
# reply is asked for again, not its whole ping): every record whole, and pings at a rate that
# stands against a clean head's in the same run. And the recordings that get no ping at all (no
# head at the address; a head whose every reply is garbage): exit status 1, the reason, no file.
# Everything on 127.0.0.1.
# Usage: cli_garbling_head.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
# shellcheck source=tests/e2e/headsim_work.sh
source "$(dirname "$0")/headsim_work.sh"
loopback_settings "Ping Delay=0"

rate() { sed -n 's/.* at \([0-9.]*\) pings\/s.*/\1/p' "$1"; }

# A port nothing listens on: the simulated head's, once it has gone.
start_headsim
free=$port
stop_headsim
if "$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$free" --duration 2 "$work/none.R96" \
    >"$work/none.out" 2>&1; then
  fail "a recording without a head succeeded"
else
  status=$?
fi
cat "$work/none.out"
(( status == 1 )) || fail "no head: exit status $status, not 1"
grep -q "no ping recorded: no head answered at 127.0.0.1:$free ([0-9]* connection attempt" "$work/none.out" ||
  fail "no head: not said why"
[[ ! -e $work/none.R96 ]] || fail "no head: a file was left"

# A head whose every reply is garbage: connected, and every ping failed.
start_headsim --garbage 1 --seed 3
status=0
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --duration 2 "$work/garbage.R96" \
  >"$work/garbage.out" 2>&1 || status=$?
stop_headsim
cat "$work/garbage.out"
(( status == 1 )) || fail "garbage only: exit status $status, not 1"
grep -q "no ping recorded: every ping failed ([0-9]* blocks asked again" "$work/garbage.out" ||
  fail "garbage only: not said why"
[[ ! -e $work/garbage.R96 ]] || fail "garbage only: a file was left"

# A clean head, then one that garbles a fifth of its replies, one after the other.
start_headsim --target 45,5,1
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --duration 5 "$work/clean.R96" \
  >"$work/clean.out"
stop_headsim
start_headsim --target 45,5,1 --garbage 0.2 --seed 11
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --duration 20 "$work/garbled.R96" \
  >"$work/garbled.out"
kill -0 "$head_pid" || fail "the simulated head fell over"
cat "$work/clean.out" "$work/garbled.out"
whole=$(whole_records "$cli" "$work/garbled.R96")
(( whole > 0 )) || fail "no whole record under a garbling head"
clean=$(rate "$work/clean.out")
garbled=$(rate "$work/garbled.out")
echo "garbling head at 0.2: $garbled pings/s against a clean head's $clean:" \
  "$(awk -v g="$garbled" -v c="$clean" 'BEGIN { printf "%.0f %%", (c > 0 ? 100 * g / c : 0) }')"
# The aim is half the clean rate. A clean head on loopback answers in tens of microseconds,
# while each reply the garbling head swallows costs the shortest wait, a quarter of a
# millisecond, or more on a busy machine: a fifth leaves room for the busiest.
awk -v g="$garbled" -v c="$clean" 'BEGIN { exit !(c > 0 && g >= 0.2 * c) }' ||
  fail "the garbling head's rate is under a fifth of the clean head's"
