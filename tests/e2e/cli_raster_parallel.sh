#!/usr/bin/env bash
# Mosaics made apart join cell for cell. Three recordings of a survey, one mosaic each made by the
# README's GNU parallel command (a login file of this machine alone) and joined with gdalbuildvrt
# and gdal_translate, against one mosaic of all three by one command: equal in every cell only
# one recording covers. The command gives the same mosaic whether it places the recordings side
# by side (--jobs 2) or one after the other (--jobs 1). On 127.0.0.1.
# Usage: cli_raster_parallel.sh VEXAR_CLI VEXAR_HEADSIM VEXAR_SURVEY_RECORDING
set -euo pipefail
cli=$1
headsim=$2
survey=$3
source "$(dirname "$0")/headsim_work.sh"
cell=0.1

start_headsim --sound-velocity 1500
{
    printf '[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nSound Velocity=1500.00\n[Sonar]\n'
    printf '%s\n' "Number of Samples=500" "Beams=120" "Operating Range=3" "Average=0"
} >"$work/Vexar.INI"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 1 "$work/template.R96" >/dev/null
stop_headsim

# Three lines that cross one another, with a target on each.
mkdir "$work/survey"
"$survey" "$work/template.R96" "$work/survey/a.R96" 2.5 -99.2 leg:90:80:0.1 target:40:3:3 >/dev/null
"$survey" "$work/template.R96" "$work/survey/b.R96" 2.49997 -99.19996 leg:0:80:0.1 target:20:-2:3 >/dev/null
"$survey" "$work/template.R96" "$work/survey/c.R96" 2.50003 -99.20003 leg:135:80:0.1 target:60:2:3 >/dev/null

# The README's command for several hosts, on this machine alone; GDAL joins the mosaics.
printf ':\n' >"$work/hosts"
find "$work/survey" -name '*.R96' |
    PARALLEL=--will-cite parallel --sshloginfile "$work/hosts" \
        "$cli" mosaic --settings "$work/Vexar.INI" {} --out {.}.tif --cell $cell >/dev/null
gdalbuildvrt -q "$work/joined.vrt" "$work/survey"/*.tif
gdal_translate -q -co TILED=YES -co COMPRESS=DEFLATE "$work/joined.vrt" "$work/joined.tif"

"$cli" mosaic --settings "$work/Vexar.INI" "$work/survey" --out "$work/all.tif" --cell $cell --jobs 2 \
    >"$work/all.out" || fail "mosaic of the folder: $(cat "$work/all.out")"
grep -q "^# 3 files: 3 placed, 0 failed" "$work/all.out" || fail "table: $(cat "$work/all.out")"
"$cli" mosaic --settings "$work/Vexar.INI" "$work/survey" --out "$work/one.tif" --cell $cell --jobs 1 >/dev/null
cmp <(gdal_translate -q -of XYZ "$work/all.tif" /vsistdout/) <(gdal_translate -q -of XYZ "$work/one.tif" /vsistdout/) ||
    fail "--jobs 2 and --jobs 1 made different mosaics"

for tif in all joined survey/a survey/b survey/c; do
    gdal_translate -q -of XYZ "$work/$tif.tif" "$work/${tif//\//-}.xyz"
done
python3 - "$work" $cell <<'PY' || fail "the joined mosaic differs from the one-command mosaic"
import math, sys
work, cell = sys.argv[1], float(sys.argv[2])
def cells(name):
    out = {}
    for line in open(f"{work}/{name}.xyz"):
        x, y, v = map(float, line.split())
        if v != 0:
            out[(math.floor(x / cell), math.floor(y / cell))] = v
    return out
parts = [cells(f"survey-{n}") for n in "abc"]
joined, whole = cells("joined"), cells("all")
covered = {}
for part in parts:
    for key in part:
        covered[key] = covered.get(key, 0) + 1
single = [key for key, count in covered.items() if count == 1]
shared = len(covered) - len(single)
assert shared > 0 and len(single) > 1000, (len(single), shared)
for key in single:
    assert joined.get(key) == whole.get(key), (key, joined.get(key), whole.get(key))
assert set(whole) == set(covered), "the one-command mosaic covers other cells"
PY
echo "three mosaics made apart and joined by GDAL equal the one-command mosaic where one recording covers"
