#!/usr/bin/env bash
# Contacts in the console under Xvfb, end to end. A recording of a vehicle holding still over a
# target at a known place is opened from the command line; the pointer goes onto the target's
# echo and M is pressed: the contacts file beside the recording holds one point in EPSG:4326
# within 0.5 m of the target's true place, with its picture. The console is killed with SIGKILL:
# the contact is still there. Opened again, the console draws the contact's marker on the target.
# vexar-cli contacts hands the file over as KML, GeoJSON and CSV (ogrinfo reads the same points)
# and as an HTML report that needs nothing from outside. Everything on 127.0.0.1.
# Usage: console_contacts.sh VEXAR VEXAR_CLI VEXAR_HEADSIM VEXAR_SURVEY_RECORDING
set -euo pipefail
[[ -n ${VEXAR_KEEP_WORK:-} ]] && set -x
vexar=$1
cli=$2
headsim=$3
survey=$4
source "$(dirname "$0")/headsim_work.sh"
xvfb_pid=
console_pid=
trap 'kill -KILL $console_pid $xvfb_pid 2>/dev/null || true; cleanup' EXIT

start_headsim --sound-velocity 1500
loopback_settings "Number of Samples=500" "Beams=120" "Operating Range=3" "Average=0"
"$cli" record --settings "$work/Vexar.INI" --sonar "127.0.0.1:$port" --pings 1 "$work/template.R96" >/dev/null
stop_headsim

# Forty pings in one place, heading 30 degrees; the target 4 m to starboard and 3 m down in each.
targets=()
for ping in $(seq 0 39); do targets+=("target:$ping:4:3"); done
"$survey" "$work/template.R96" "$work/survey.R96" 2.5 -99.2 leg:30:40:0 "${targets[@]}" >"$work/targets"
read -r _ _ tlat tlon heading across < <(head -1 "$work/targets")
truth=$(echo "$tlon $tlat" | gdaltransform -s_srs EPSG:4326 -t_srs EPSG:32614 |
    awk -v h="$heading" -v a="$across" '{ r = atan2(0, -1) / 180; printf "%.3f %.3f", $1 + a * cos(h * r), $2 - a * sin(h * r) }')
{
    printf '[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nRemotePort_Output1=4041\n'
    printf 'Sound Velocity=1500.00\nSleep Time=100\n[Sonar]\nNumber of Samples=500\nBeams=120\n'
    printf 'Operating Range=3\nAverage=0\n[View]\nDisplay=Polar\n'
} >"$work/console.INI"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
disown "$xvfb_pid"
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb

start_console() {
    "$vexar" --settings "$work/console.INI" "$work/survey.R96" >"$work/console.out" 2>&1 &
    console_pid=$!
    for _ in $(seq 100); do xdotool search --name "Playback File" >/dev/null 2>&1 && break; sleep 0.2; done
    sleep 3 # a few pings played
}

# The centre of the brightest echo of the screen, or of the marker's colour near a point.
find_on_screen() { # MODE [X Y]
    import -window root "$work/shot.png"
    convert "$work/shot.png" ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
w, h, pixels = int(parts[1]), int(parts[2]), parts[4]
mode = sys.argv[1]
def rgb(x, y):
    i = 3 * (y * w + x)
    return pixels[i], pixels[i + 1], pixels[i + 2]
if mode == "echo":
    # The echo is green in the colour table; the texts and grid are yellow, orange and brown, and
    # the bars lie above and below the picture.
    found = [(x, y) for y in range(80, h - 80) for x in range(w)
             if (lambda c: c[1] > 120 and c[1] - c[0] > 40 and c[2] < 120)(rgb(x, y))]
    assert found, "no echo on the screen"
    xs = sorted(p[0] for p in found); ys = sorted(p[1] for p in found)
    print(xs[len(xs) // 2], ys[len(ys) // 2])
else:
    cx, cy = int(sys.argv[2]), int(sys.argv[3])
    near = [(x, y) for y in range(max(cy - 30, 0), min(cy + 30, h)) for x in range(max(cx - 30, 0), min(cx + 30, w))
            if (lambda c: c[0] < 80 and c[1] > 170 and c[2] > 200)(rgb(x, y))]
    print(len(near))
' "$@"
}

contacts_info() { ogrinfo -ro -al "$work/survey.contacts.gpkg" contacts 2>/dev/null || true; }

start_console
read -r x y < <(find_on_screen echo) || fail "no target echo on the screen"
# Without a window manager the console gets the keyboard only when given it.
xdotool windowfocus --sync "$(xdotool search --name "Playback File" | head -1)"
xdotool mousemove "$x" "$y"
sleep 0.5
xdotool key m
for _ in $(seq 50); do contacts_info | grep -q "chip (Binary) = 89504E47" && break; sleep 0.2; done
contacts_info >"$work/info"
grep -q 'Feature Count: 1$' "$work/info" || fail "not one contact: $(cat "$work/info" "$work/console.out")"
grep -q 'ID\["EPSG",4326\]' "$work/info" || fail "the contacts are not in EPSG:4326"
grep -q "chip (Binary) = 89504E47" "$work/info" || fail "the contact has no picture"

kill -KILL "$console_pid"
wait "$console_pid" 2>/dev/null || true
console_pid=
contacts_info >"$work/info"
grep -q 'Feature Count: 1$' "$work/info" || fail "the contact was lost with the console"
lonlat=$(sed -n 's/^  POINT (\([-0-9.]*\) \([-0-9.]*\)).*/\1 \2/p' "$work/info")
where=$(echo "$lonlat" | gdaltransform -s_srs EPSG:4326 -t_srs EPSG:32614)
python3 -c '
import sys
tx, ty = map(float, sys.argv[1].split()); x, y = map(float, sys.argv[2].split()[:2])
off = ((x - tx) ** 2 + (y - ty) ** 2) ** 0.5
print("contact %.3f m from the target" % off)
assert off <= 0.5, off
' "$truth" "$where" || fail "the contact is not on the target"

# Played again, the contacts come back with the recording and the marker is drawn on the target.
start_console
marker=$(find_on_screen marker "$x" "$y")
[[ $marker -gt 10 ]] || fail "no marker on the target ($marker pixels of its colour)"
kill -KILL "$console_pid"
wait "$console_pid" 2>/dev/null || true
console_pid=

# Handed over: the same points in every format, and a report without outside files.
"$cli" contacts "$work/survey.contacts.gpkg" --report "$work/report.html" >/dev/null || fail "report"
for format in kml geojson csv; do
    "$cli" contacts "$work/survey.contacts.gpkg" --to $format "$work/out.$format" >/dev/null || fail "$format"
    options=()
    [[ $format == csv ]] && options=(-oo X_POSSIBLE_NAMES=longitude -oo Y_POSSIBLE_NAMES=latitude)
    ogrinfo -ro -al "${options[@]}" "$work/out.$format" >"$work/out.$format.info" 2>&1
    grep -q 'Feature Count: 1$' "$work/out.$format.info" || fail "$format: $(cat "$work/out.$format.info")"
    got=$(sed -n 's/^  POINT (\([-0-9.]*\) \([-0-9.]*\).*/\1 \2/p' "$work/out.$format.info" | head -1)
    python3 -c '
import sys
a = list(map(float, sys.argv[1].split())); b = list(map(float, sys.argv[2].split()))
assert all(abs(p - q) < 1e-7 for p, q in zip(a, b)) and len(a) == 2 == len(b), (a, b)
' "$lonlat" "$got" || fail "$format moves the contact: $got, not $lonlat"
done
grep -q '<img alt="contact 1" src="data:image/png;base64,' "$work/report.html" || fail "no picture in the report"
if grep -Eiq '<script|<link|@import|url\(|href=|src="[^d]' "$work/report.html"; then
    fail "the report asks for outside files"
fi
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/chromium" --dump-dom \
    "file://$work/report.html" 2>/dev/null >"$work/report.dom"
grep -q "Contacts of survey.contacts.gpkg" "$work/report.dom" || fail "the report does not load"
echo "contacts: marked, kept through SIGKILL, shown again and handed over"
