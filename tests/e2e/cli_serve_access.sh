#!/usr/bin/env bash
# vexar-cli serve fed over UDP with the beam and point records of a short recording: with a token
# the page and its socket are refused without it; the page's stale alarm comes on when records
# stop and goes off when they come back; the page shows the pings' range, time, position and
# heading. Everything on 127.0.0.1.
# Usage: cli_serve_access.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
source "$(dirname "$0")/headsim_work.sh"
start_headsim --noise 0 --sway 0 --target 45,3,1 --ring 6,0.5

loopback_settings "Number of Samples=500" "Beams=240" "Operating Range=3" "DetectProfilePoints=1"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 5 "$work/scene.R96" >/dev/null
stop_headsim
# The pings with a navigation sentence each, whose position and heading the page shows.
with_navigation "$work/scene.R96" "$work/nav.R96"
"$cli" convert --settings "$work/Vexar.INI" "$work/nav.R96" --p96 "$work/scene.P96" --b96 "$work/scene.B96" \
    >/dev/null
python3 "$(dirname "$0")/serve_access.py" "$cli" "$work"
