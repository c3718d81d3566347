#!/usr/bin/env bash
# Batch conversion side by side against one file at a time, in the same run: records PINGS pings
# of 480 beams x 1000 samples from the simulated head on 127.0.0.1, makes 8 copies and converts
# them with --jobs 1 and then --jobs 2; prints both times and their ratio. The products are the
# point and beam records unless other convert options are given (--p96 --xyz leaves out the
# 1.44 MB a ping of beam records, whose writing the two jobs share).
# Usage: BatchSpeedup.sh VEXAR_CLI VEXAR_HEADSIM [PINGS [CONVERT_OPTION...]]   (default 150, --p96 --b96)
set -euo pipefail
cli=$1
headsim=$2
pings=${3:-150}
shift $(($# < 3 ? $# : 3))
products=("$@")
((${#products[@]} > 0)) || products=(--p96 --b96)
source "$(dirname "$0")/../../tests/e2e/headsim_work.sh"
start_headsim --ring 6,0.8 --target 90,4,1
loopback_settings "Number of Samples=1000" "Beams=480"
mkdir "$work/survey"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings "$pings" "$work/survey/r0.R96" >/dev/null
stop_headsim
for i in 1 2 3 4 5 6 7; do cp "$work/survey/r0.R96" "$work/survey/r$i.R96"; done

convert() { # jobs
    local start end
    start=$(date +%s.%N)
    "$cli" convert --settings "$work/Vexar.INI" "$work/survey" "${products[@]}" --out "$work/out$1" --jobs "$1" \
        >"$work/jobs$1.out" 2>&1 || { cat "$work/jobs$1.out"; exit 1; }
    end=$(date +%s.%N)
    # The next run starts from the same state: no dirty pages of this one left to write back.
    rm -rf "$work/out$1"
    sync
    python3 -c "print($end - $start)"
}
sync
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
one=$(convert 1)
two=$(convert 2)
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '8 copies of %d pings to %s, %d cores: --jobs 1 %.2f s, --jobs 2 %.2f s, speed-up %.2fx\n' \
    "$pings" "${products[*]}" "$(nproc)" "$one" "$two" "$(python3 -c "print($one / $two)")"
