#!/usr/bin/env bash
# Records a few pings of a simple scene from the simulated head, then draws one of them with
# vexar-cli render and converts the recording to XYZ text and CSV. Everything on 127.0.0.1.
# Usage: cli_render_xyz.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
work=$(mktemp -d)
head_pid=
cleanup() {
    [[ -n $head_pid ]] && kill "$head_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*" >&2; exit 1; }

"$headsim" --listen 127.0.0.1:0 --ring 6,0.8 --target 90,4,1 >"$work/headsim.out" 2>&1 &
head_pid=$!
for _ in $(seq 100); do grep -q "listening on 127.0.0.1:" "$work/headsim.out" && break; sleep 0.1; done
port=$(grep -o "listening on 127.0.0.1:[0-9]*" "$work/headsim.out" | sed 's/.*://')
[[ -n $port ]] || fail "the simulated head did not start"

cat >"$work/Vexar.INI" <<INI
[System]
IPAddress_Sonar1=127.0.0.1
IPAddress_Output1=127.0.0.1
[Sonar]
Number of Samples=500
Beams=120
Operating Range=3
DetectProfilePoints=1
ProfileFilterType=1
INI

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

# A live recording carries no position: the conversion says so and writes no coordinates.
"$cli" convert --settings "$work/Vexar.INI" "$work/scene.R96" --xyz "$work/nofix.xyz" >"$work/nofix.out" 2>&1
grep -q "no position fixes" "$work/nofix.out" || fail "a recording without fixes must be reported"
[[ ! -s "$work/nofix.xyz" ]] || fail "coordinates were made up for a recording without fixes"

# The same pings with a navigation sentence each, as a vehicle's recorder stores them: the
# sentence follows the packet pairs, and the header's total length, sentence length and flag
# say so.
python3 - "$work/scene.R96" "$work/nav.R96" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
out, at, previous, ping = bytearray(), 0, 0, 0
while at < len(data):
    total = struct.unpack_from("<I", data, at + 4)[0]
    record = bytearray(data[at:at + total])
    sentence = ("$AULOG,2;29.98%05dN,N,99;13.3141814E,W,,-35.4,,64.8,-0.0,-1.1,0.6,,,0.0,230,0,9913,"
                "0.00,10/14/1999,**6B" % (ping * 10)).encode()
    struct.pack_into("<I", record, 4, total + len(sentence))
    struct.pack_into("<I", record, 59, previous)
    record[63] |= 2
    struct.pack_into("<I", record, 107, len(sentence))
    out += record + sentence
    previous, at, ping = total + len(sentence), at + total, ping + 1
open(sys.argv[2], "wb").write(out)
PY

# XYZ text: point lines "date<TAB>time<TAB>x<TAB>y<TAB>z", a track line and an empty line per ping.
"$cli" convert --settings "$work/Vexar.INI" "$work/nav.R96" --xyz "$work/scene.xyz" >/dev/null 2>&1
line=$'^[0-9]{2}-[0-9]{2}-[0-9]{4}\t[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}(\t[ -][0-9]{7,}\\.[0-9]{3}){3}$'
points=$(grep -cE "$line" "$work/scene.xyz")
((points > 6 * 10)) || fail "only $points XYZ lines"
[[ $(grep -c '^$' "$work/scene.xyz") == 6 ]] || fail "one empty line per ping expected"
bad=$(grep -vE "$line" "$work/scene.xyz" | grep -vc '^$' || true)
[[ $bad == 0 ]] || fail "$bad malformed XYZ lines"

"$cli" convert --settings "$work/Vexar.INI" "$work/nav.R96" --xyz "$work/scene.csv" --xyz-format csv >/dev/null 2>&1
[[ $(head -1 "$work/scene.csv") == "date,time,easting,northing,depth,beam,range" ]] || fail "CSV header"
(($(wc -l <"$work/scene.csv") > 6 * 10)) || fail "CSV too short"
echo "rendered one ping and converted $points XYZ lines"
