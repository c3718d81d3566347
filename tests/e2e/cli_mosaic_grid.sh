#!/usr/bin/env bash
# Survey recordings of a vehicle running out and back along a line (two headings) over point
# targets at known places, north and south of the equator: the mosaic is a GeoTIFF GDAL reads in
# the UTM zone of the first fix, with the cell size and nodata asked for, and its brightest cells
# lie within two cells of each target's true place; the mosaic of the converted beam file is the
# same; every cell of the depth grid holds the mean depth of the CSV points in it. On 127.0.0.1.
# Usage: cli_mosaic_grid.sh VEXAR_CLI VEXAR_HEADSIM VEXAR_SURVEY_RECORDING
set -euo pipefail
cli=$1
headsim=$2
survey=$3
source "$(dirname "$0")/headsim_work.sh"
cell=0.1

start_headsim --sound-velocity 1500
# Each ping on its own (no averaging over pings): a target shows in the ping abeam of it only. The
# water's sound velocity is the nominal one, so that ranges are the simulated head's.
{
    printf '[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nSound Velocity=1500.00\n[Sonar]\n'
    printf '%s\n' "Number of Samples=500" "Beams=120" "Operating Range=3" "DetectProfilePoints=1" "ProfileFilterType=1" \
        "Average=0"
} >"$work/Vexar.INI"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 1 "$work/template.R96" >/dev/null
stop_headsim

for case in north:2.5:-99.2:32614:14N south:-33.9:18.4:32734:34S; do
    IFS=: read -r name lat lon epsg zone <<<"$case"
    "$survey" "$work/template.R96" "$work/$name.R96" "$lat" "$lon" leg:60:90:0.1 leg:240:90:0.1 \
        target:25:4:3 target:60:-3:2.5 target:170:2.5:3.5 >"$work/$name.targets"
    "$cli" mosaic --settings "$work/Vexar.INI" "$work/$name.R96" --out "$work/$name.tif" --cell $cell \
        >"$work/$name.out" 2>&1 || fail "mosaic $name: $(cat "$work/$name.out")"
    grep -q "180 pings placed .*0 without a position fix" "$work/$name.out" || fail "summary: $(cat "$work/$name.out")"
    gdalinfo "$work/$name.tif" >"$work/$name.info"
    grep -q "ID\[\"EPSG\",$epsg\]\]$" "$work/$name.info" || fail "$name is not in EPSG:$epsg"
    grep -q "UTM zone $zone" "$work/$name.info" || fail "$name: zone $zone"
    grep -q "Pixel Size = (0.100000000000000,-0.100000000000000)" "$work/$name.info" || fail "$name: cell size"
    grep -q "NoData Value=0" "$work/$name.info" || fail "$name: nodata"
    # The true place of a target: the fix of the ping abeam of it, projected by GDAL, and the
    # distance across to starboard.
    while read -r _ _ tlat tlon heading across; do
        echo "$tlon $tlat" | gdaltransform -s_srs EPSG:4326 -t_srs "EPSG:$epsg" |
            awk -v h="$heading" -v a="$across" \
                '{ r = atan2(0, -1) / 180; printf "%.3f %.3f\n", $1 + a * cos(h * r), $2 - a * sin(h * r) }'
    done <"$work/$name.targets" >"$work/$name.truth"
    gdal_translate -q -of XYZ "$work/$name.tif" /vsistdout/ | python3 -c '
import sys
cell = float(sys.argv[2])
truth = [tuple(map(float, line.split())) for line in open(sys.argv[1])]
cells = [tuple(map(float, line.split())) for line in sys.stdin if line.strip()]
for tx, ty in truth:
    # The brightest cell around the target (within 0.6 m), and how far its centre lies.
    near = [c for c in cells if abs(c[0] - tx) < 0.6 and abs(c[1] - ty) < 0.6]
    best = max(near, key=lambda c: c[2])
    off = max(abs(best[0] - tx), abs(best[1] - ty))
    assert off <= 2 * cell, ("target", tx, ty, "brightest", best, "off by", off)
' "$work/$name.truth" $cell || fail "targets of $name misplaced"
done

# The beam file the conversion writes makes the same mosaic, without processing the pings again.
"$cli" convert --settings "$work/Vexar.INI" "$work/north.R96" --b96 "$work/north.B96" >/dev/null
"$cli" mosaic --settings "$work/Vexar.INI" "$work/north.B96" --out "$work/north-b96.tif" --cell $cell >/dev/null
cmp <(gdal_translate -q -of XYZ "$work/north.tif" /vsistdout/) \
    <(gdal_translate -q -of XYZ "$work/north-b96.tif" /vsistdout/) || fail "the B96 mosaic differs"

# The depth grid of a run over a flat seabed against the CSV points: each cell's mean depth within
# 1 mm, leaving out cells a point lies too close to the edge of for its three decimals to tell.
"$survey" "$work/template.R96" "$work/bed.R96" 2.5 -99.2 leg:60:90:0.1 leg:240:90:0.1 seabed:5:6:0.3 >/dev/null
"$cli" convert --settings "$work/Vexar.INI" "$work/bed.R96" --xyz "$work/bed.csv" --xyz-format csv --p96 "$work/bed.P96" \
    >/dev/null
for input in bed.R96 bed.P96; do
    "$cli" grid --settings "$work/Vexar.INI" "$work/$input" --out "$work/grid.tif" --cell 0.25 >"$work/grid.out"
    gdalinfo "$work/grid.tif" | grep -q "Type=Float32" || fail "the grid is not float32"
    gdal_translate -q -of XYZ "$work/grid.tif" /vsistdout/ | python3 -c '
import collections, csv, math, sys
cell = 0.25
points = collections.defaultdict(list)
edge = set()
for row in csv.DictReader(open(sys.argv[1])):
    e, n = float(row["easting"]), float(row["northing"])
    key = (math.floor(e / cell), math.floor(n / cell))
    points[key].append(float(row["depth"]))
    for axis, value in enumerate((e, n)):
        for nudge in (-0.0006, 0.0006):
            other = list(key)
            other[axis] = math.floor((value + nudge) / cell)
            if tuple(other) != key:
                edge.update({key, tuple(other)})
grid = {}
for line in sys.stdin:
    x, y, v = map(float, line.split())
    if v != -9999:
        grid[(math.floor(x / cell), math.floor(y / cell))] = v
assert (set(grid) ^ set(points)) <= edge, "cells with points differ"
checked = [k for k in points if k not in edge]
assert len(checked) > 0.8 * len(points), (len(checked), len(points))
for key in checked:
    mean = sum(points[key]) / len(points[key])
    assert abs(grid[key] - mean) <= 0.001, (key, grid[key], mean)
' "$work/bed.csv" || fail "grid of $input differs from the CSV points"
done
echo "mosaics in 14N and 34S put the targets in place; the depth grid agrees with the CSV points"
