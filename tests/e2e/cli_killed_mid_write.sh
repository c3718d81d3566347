#!/usr/bin/env bash
# vexar-cli killed with SIGKILL in the middle of a recording and of a conversion leaves whole
# records only: each record goes to its file in one write. Before the kill the program is stopped
# (SIGSTOP) at many moments and its files are read each time: what a stopped program has written
# is what a kill at that moment would leave. Stopping lets a write the kernel has begun finish, as
# it would for any program; what is checked is that the program never leaves part of a record
# between two of its own calls. Everything on 127.0.0.1.
# Usage: cli_killed_mid_write.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
# shellcheck source=tests/e2e/headsim_work.sh
source "$(dirname "$0")/headsim_work.sh"

# Once FILE has BYTES, stops $victim TIMES times at uneven moments, checks each time that every
# FILE holds whole records only, and kills it at the last stop. Prints the whole records of the
# first file then.
stop_check_kill() { # TIMES BYTES FILE...
    local times=$1 bytes=$2 n file state
    shift 2
    for _ in $(seq 600); do
        (( $(stat -c %s "$1" 2>/dev/null || echo 0) >= bytes )) && break
        sleep 0.05
    done
    for (( n = 1; n <= times; n++ )); do
        sleep "$(printf "0.%03d" $(( RANDOM % 20 + 5 )))"
        kill -STOP "$victim" 2>/dev/null || true
        # Until the stop has taken; a program that is gone or a zombie has ended.
        while state=$(awk '{ print $3 }' "/proc/$victim/stat" 2>/dev/null) && [[ $state != [Tt] ]]; do
            [[ -n $state && $state != [ZX] ]] ||
                { cat "$work/victim.out" >&2; echo "the program ended before stop $n ($state)" >&2; exit 1; }
            sleep 0.005
        done
        [[ -n ${state:-} ]] || { cat "$work/victim.out" >&2; echo "the program ended before stop $n" >&2; exit 1; }
        for file in "$@"; do whole_records "$cli" "$file" >/dev/null || exit 1; done
        (( n == times )) || kill -CONT "$victim"
    done
    kill -KILL "$victim"
    wait "$victim" 2>/dev/null || true
    whole_records "$cli" "$1"
}

start_headsim --target 45,5,1 --ring 8,0.5
loopback_settings "Number of Samples=500" "Beams=120" "DetectProfilePoints=1"

"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 100000 --timeout 60 \
    "$work/killed.R96" >"$work/victim.out" 2>&1 &
victim=$!
records=$(stop_check_kill 15 $(( 3 * 70056 )) "$work/killed.R96")
(( records >= 3 )) || { echo "only $records records before the kill" >&2; exit 1; }

# A conversion spends a good share of each ping writing its products; 1 000 pings (50 recorded,
# played 20 times over), each followed by a pause of a millisecond, keep it busy through the stops
# on a fast machine too.
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 50 "$work/whole.R96" >/dev/null
for _ in $(seq 20); do cat "$work/whole.R96"; done >"$work/long.R96"
"$cli" convert --settings "$work/Vexar.INI" "$work/long.R96" --p96 "$work/killed.P96" \
    --b96 "$work/killed.B96" --sleep 1 >"$work/victim.out" 2>&1 &
victim=$!
beams=$(stop_check_kill 20 1 "$work/killed.B96" "$work/killed.P96")
victim=
points=$(whole_records "$cli" "$work/killed.P96")
(( beams >= 1 && beams < 1000 && points >= beams )) || { echo "$points points, $beams beams" >&2; exit 1; }
echo "recordings and conversions stopped at 35 moments, then killed, held whole records only"
