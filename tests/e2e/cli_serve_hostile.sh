#!/usr/bin/env bash
# Hostile clients against vexar-cli serve playing a noisy recording (frames of some size): serve
# survives, its memory stays flat, a well-behaved observer keeps getting frames. On 127.0.0.1.
# Usage: cli_serve_hostile.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
source "$(dirname "$0")/headsim_work.sh"
start_headsim --noise 0.02 --sway 0 --seed 3 --target 45,3,1 --ring 6,0.5

loopback_settings "Number of Samples=1000" "Beams=240" "Operating Range=3" "DetectProfilePoints=1"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 6 "$work/scene.R96" >/dev/null
stop_headsim
python3 "$(dirname "$0")/serve_hostile.py" "$cli" "$work"
