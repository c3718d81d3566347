#!/usr/bin/env bash
# Records a few pings of a simple scene from the simulated head, then draws one of them with
# vexar-cli render and converts the recording to XYZ text and CSV. Everything on 127.0.0.1.
# Usage: cli_render_xyz.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
source "$(dirname "$0")/headsim_work.sh"
start_headsim --ring 6,0.8 --target 90,4,1

loopback_settings "Number of Samples=500" "Beams=120" "Operating Range=3" "DetectProfilePoints=1" \
    "ProfileFilterType=1"

"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 6 "$work/scene.R96"

# One ping drawn at the requested size; a ping past the end is a reported failure (1) and a bad
# option a usage error (2).
"$cli" render --settings "$work/Vexar.INI" "$work/scene.R96" --ping 4 --size 640x480 --zoom 50 \
    --color-table 3 --out "$work/scene.png" >/dev/null
[[ $(identify -format '%wx%h' "$work/scene.png") == 640x480 ]] || fail "picture size"
# The grey table draws echoes in grey: a picture of the ring is more than black and overlay colours.
colours=$(convert "$work/scene.png" -format '%k' info:)
((colours > 20)) || fail "the picture holds only $colours colours"
set +e
"$cli" render --settings "$work/Vexar.INI" "$work/scene.R96" --ping 99 --out "$work/none.png" 2>/dev/null
[[ $? == 1 ]] || fail "a missing ping must fail with 1"
"$cli" render --settings "$work/Vexar.INI" "$work/scene.R96" --zoom 75 --out "$work/none.png" 2>/dev/null
[[ $? == 2 ]] || fail "a bad zoom must be a usage error"
set -e

# A live recording carries no position: the conversion fails saying so and leaves no file.
if "$cli" convert --settings "$work/Vexar.INI" "$work/scene.R96" --xyz "$work/nofix.xyz" >"$work/nofix.out" 2>&1; then
    fail "a recording without fixes must fail the XYZ file"
fi
grep -q "no position fixes" "$work/nofix.out" || fail "a recording without fixes must be reported"
[[ ! -e "$work/nofix.xyz" ]] || fail "an XYZ file was left for a recording without fixes"

# The same pings with a navigation sentence each, as a vehicle's recorder stores them.
with_navigation "$work/scene.R96" "$work/nav.R96"

# XYZ text: point lines "date<TAB>time<TAB>x<TAB>y<TAB>z", a track line and an empty line per ping.
"$cli" convert --settings "$work/Vexar.INI" "$work/nav.R96" --xyz "$work/scene.xyz" >/dev/null 2>&1
line=$'^[0-9]{2}-[0-9]{2}-[0-9]{4}\t[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}(\t[ -][0-9]{7,}\\.[0-9]{3}){3}$'
points=$(grep -cE "$line" "$work/scene.xyz")
((points > 6 * 10)) || fail "only $points XYZ lines"
[[ $(grep -c '^$' "$work/scene.xyz") == 6 ]] || fail "one empty line per ping expected"
bad=$(grep -vE "$line" "$work/scene.xyz" | grep -vc '^$' || true)
[[ $bad == 0 ]] || fail "$bad malformed XYZ lines"

# CSV and GeoPackage, read by GDAL as they are: the CSV's time column is a date-time, the layer's
# SRS is the UTM zone of the first fix (north, and south once the recording's hemisphere is
# flipped), one feature per profile point, at the CSV's coordinates.
python3 - "$work/nav.R96" "$work/south.R96" "$work/nofix.R96" <<'PY'
import re, sys
data = open(sys.argv[1], 'rb').read()
assert data.count(b'N,N,99;') > 0
open(sys.argv[2], 'wb').write(data.replace(b'N,N,99;', b'N,S,99;'))
# On the equator every fix has northing 0, which starts no track.
open(sys.argv[3], 'wb').write(re.sub(rb'2;29\.98[0-9]{5}N,N,', b'0;00.0000000N,N,', data))
PY
for case in nav:32614:14N south:32714:14S; do
    IFS=: read -r name epsg zone <<<"$case"
    "$cli" convert --settings "$work/Vexar.INI" "$work/$name.R96" --xyz "$work/$name.csv" --xyz-format csv \
        >"$work/$name.csv.out" 2>&1
    grep -q "easting/northing in EPSG:$epsg" "$work/$name.csv.out" || fail "CSV projection: $(cat "$work/$name.csv.out")"
    "$cli" convert --settings "$work/Vexar.INI" "$work/$name.R96" --xyz "$work/$name.gpkg" --xyz-format gpkg \
        >/dev/null 2>&1
    [[ $(head -1 "$work/$name.csv") == "time,easting,northing,depth,beam,range,latitude,longitude" ]] || fail "CSV header"
    ogrinfo -so "$work/$name.csv" "$name" >"$work/$name.csv.info" 2>/dev/null
    grep -q "^time: DateTime" "$work/$name.csv.info" || fail "CSV time is not a date-time: $(cat "$work/$name.csv.info")"
    ogrinfo -so "$work/$name.gpkg" profile_points >"$work/$name.gpkg.info" 2>/dev/null
    grep -q "PROJCRS\[\"WGS 84 / UTM zone $zone\"" "$work/$name.gpkg.info" || fail "GeoPackage SRS of $name"
    grep -q '^time: DateTime' "$work/$name.gpkg.info" || fail "GeoPackage time"
    ogrinfo -q "$work/$name.gpkg" profile_points 2>/dev/null | python3 -c '
import csv, re, sys
rows = list(csv.DictReader(open(sys.argv[1])))
points = re.findall(r"POINT Z \(([-0-9.e]+) ([-0-9.e]+) ([-0-9.e]+)\)", sys.stdin.read())
assert len(rows) >= 30 and len(points) == len(rows), (len(points), len(rows))
for row, point in zip(rows, points):
    for key, value in zip(("easting", "northing", "depth"), point):
        assert abs(float(row[key]) - float(value)) <= 0.001, (row, point)
' "$work/$name.csv" || fail "GeoPackage points of $name differ from the CSV"
done
# Without a usable fix the points have no place on the map: said, and nothing written.
if "$cli" convert --settings "$work/Vexar.INI" "$work/nofix.R96" --xyz "$work/nofix.gpkg" --xyz-format gpkg \
    >/dev/null 2>"$work/nofix.err"; then
    fail "a recording without a fix must fail"
fi
grep -q "no usable position fix" "$work/nofix.err" || fail "no fix: $(cat "$work/nofix.err")"
[[ ! -e $work/nofix.gpkg ]] || fail "a GeoPackage was written without a fix"
echo "rendered one ping and converted $points XYZ lines; CSV and GeoPackage agree"
