#!/usr/bin/env bash
# The raster commands' figures on recordings of 480 beams x 1000 samples from the simulated head
# on 127.0.0.1 with a navigation sentence added to each ping: the mosaic at CELL metres of one
# recording and of its beam file, the depth grid of its profile-point file, each with the
# command's own pings per second and its peak resident memory; then 8 copies of the recording
# mosaicked with --jobs 1 and with --jobs 2 in the same run, their times and the speed-up.
# Usage: RasterSpeedup.sh VEXAR_CLI VEXAR_HEADSIM [PINGS [CELL]]   (default 150, 0.05)
set -euo pipefail
cli=$1
headsim=$2
pings=${3:-150}
cell=${4:-0.05}
source "$(dirname "$0")/../../tests/e2e/headsim_work.sh"
start_headsim --ring 6,0.8 --target 90,4,1
loopback_settings "Number of Samples=1000" "Beams=480" "DetectProfilePoints=1"
mkdir "$work/survey"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings "$pings" "$work/live.R96" >/dev/null
stop_headsim
with_navigation "$work/live.R96" "$work/survey/r0.R96"
"$cli" convert --settings "$work/Vexar.INI" "$work/survey/r0.R96" --b96 "$work/r0.B96" --p96 "$work/r0.P96" >/dev/null

# The command's summary line and its peak resident memory.
measure() { # label, command...
    local label=$1
    shift
    /usr/bin/time -f "%M" -o "$work/rss" "$cli" "$@" >"$work/run.out" 2>&1 || { cat "$work/run.out"; exit 1; }
    printf '%-22s %s; peak memory %d MB\n' "$label" "$(grep -m1 'pings placed' "$work/run.out")" \
        $(($(cat "$work/rss") / 1024))
}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
measure "mosaic R96, 2 cores" mosaic --settings "$work/Vexar.INI" "$work/survey/r0.R96" --out "$work/m.tif" --cell "$cell"
measure "mosaic B96, 1 core" mosaic --settings "$work/Vexar.INI" "$work/r0.B96" --out "$work/m.tif" --cell "$cell" --jobs 1
measure "grid P96, 1 core" grid --settings "$work/Vexar.INI" "$work/r0.P96" --out "$work/g.tif" --cell 0.1 --jobs 1
measure "grid R96, 2 cores" grid --settings "$work/Vexar.INI" "$work/survey/r0.R96" --out "$work/g.tif" --cell 0.1

for i in 1 2 3 4 5 6 7; do cp "$work/survey/r0.R96" "$work/survey/r$i.R96"; done
mosaic() { # jobs
    local start end
    sync
    start=$(date +%s.%N)
    "$cli" mosaic --settings "$work/Vexar.INI" "$work/survey" --out "$work/all$1.tif" --cell "$cell" --jobs "$1" \
        >"$work/jobs$1.out" 2>&1 || { cat "$work/jobs$1.out"; exit 1; }
    end=$(date +%s.%N)
    python3 -c "print($end - $start)"
}
one=$(mosaic 1)
two=$(mosaic 2)
cmp <(gdal_translate -q -of XYZ "$work/all1.tif" /vsistdout/) <(gdal_translate -q -of XYZ "$work/all2.tif" /vsistdout/) ||
    echo "the two mosaics differ"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '8 copies of %d pings, mosaic at %s m, %d cores: --jobs 1 %.2f s, --jobs 2 %.2f s, speed-up %.2fx\n' \
    "$pings" "$cell" "$(nproc)" "$one" "$two" "$(python3 -c "print($one / $two)")"
