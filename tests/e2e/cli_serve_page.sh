#!/usr/bin/env bash
# Records a few pings of point targets at known bearings and ranges from the simulated head, draws
# one with vexar-cli render, and has vexar-cli serve play the recording to headless Chromium: the
# page must show every echo where the rendered picture has it. Everything on 127.0.0.1.
# Usage: cli_serve_page.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
source "$(dirname "$0")/headsim_work.sh"
start_headsim --noise 0 --sway 0 --target 45,3,1 --target 160,7,1 --target 250,5,1 --target 330,8.5,1

loopback_settings "Number of Samples=500" "Beams=480" "Operating Range=3" "DetectProfilePoints=1"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 4 "$work/scene.R96" >/dev/null
stop_headsim
"$cli" render --settings "$work/Vexar.INI" "$work/scene.R96" --ping 3 --size 600x600 --zoom fill \
    --color-table 3 --out "$work/render.png" >/dev/null
python3 "$(dirname "$0")/serve_page.py" "$cli" "$work"
