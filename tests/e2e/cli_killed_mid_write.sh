#!/usr/bin/env bash
# vexar-cli killed with SIGKILL in the middle of a recording leaves whole records only: each raw
# record goes to its file in one write. A conversion writes its products in pieces: killed, it
# leaves whole records and at most a last one cut short at the end of the file, which `info`
# reports as running past the end (every reader skips it). Before the kill the program is stopped
# (SIGSTOP) at many moments and its files are read each time: what a stopped program has written
# is what a kill at that moment would leave. Stopping lets a write the kernel has begun finish, as
# it would for any program; what is checked is what the program leaves between two of its own
# calls. Everything on 127.0.0.1.
# Usage: cli_killed_mid_write.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
# shellcheck source=tests/e2e/headsim_work.sh
source "$(dirname "$0")/headsim_work.sh"

# "N" when FILE holds N whole records and at most a last one cut short where the file ends.
whole_records_but_tail() { # CLI FILE
    "$1" info "$2" | awk -v size="$(stat -c %s "$2")" -F'\t' '
        /^[0-9]/ { whole++ }
        /^damaged/ { damaged++; tail = ($4 == "record runs past the end of the file" && $2 + $3 == size) }
        END { if (damaged > 1 || (damaged == 1 && !tail)) { print "damaged records in " FILENAME > "/dev/stderr"; exit 1 }
              print whole + 0 }'
}

# Once FILE has BYTES, stops $victim TIMES times at uneven moments, checks each time with CHECK
# (whole_records or whole_records_but_tail) every FILE, and kills it at the last stop. Prints what
# CHECK finds in the first file then.
stop_check_kill() { # CHECK TIMES BYTES FILE...
    local check=$1 times=$2 bytes=$3 n file state
    shift 3
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
        for file in "$@"; do "$check" "$cli" "$file" >/dev/null || exit 1; done
        (( n == times )) || kill -CONT "$victim"
    done
    kill -KILL "$victim"
    wait "$victim" 2>/dev/null || true
    "$check" "$cli" "$1"
}

start_headsim --target 45,5,1 --ring 8,0.5
loopback_settings "Number of Samples=500" "Beams=120" "DetectProfilePoints=1"

"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 100000 --timeout 60 \
    "$work/killed.R96" >"$work/victim.out" 2>&1 &
victim=$!
records=$(stop_check_kill whole_records 15 $(( 3 * 70056 )) "$work/killed.R96")
(( records >= 3 )) || { echo "only $records records before the kill" >&2; exit 1; }

# A conversion spends a good share of each ping writing its products; 1 000 pings (50 recorded,
# played 20 times over), each followed by a pause of a millisecond, keep it busy through the stops
# on a fast machine too. Its beam records (1440 beams) take three pieces each.
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 50 "$work/whole.R96" >/dev/null
for _ in $(seq 20); do cat "$work/whole.R96"; done >"$work/long.R96"
sed -i 's/^Beams=120$/Beams=480/' "$work/Vexar.INI"
"$cli" convert --settings "$work/Vexar.INI" "$work/long.R96" --p96 "$work/killed.P96" \
    --b96 "$work/killed.B96" --sleep 1 >"$work/victim.out" 2>&1 &
victim=$!
beams=$(stop_check_kill whole_records_but_tail 20 1 "$work/killed.B96" "$work/killed.P96")
victim=
points=$(whole_records_but_tail "$cli" "$work/killed.P96")
(( beams >= 1 && beams < 1000 && points >= beams )) || { echo "$points points, $beams beams" >&2; exit 1; }
echo "recordings and conversions stopped at 35 moments, then killed, held whole records (and at most a torn last product record)"
