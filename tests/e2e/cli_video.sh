#!/usr/bin/env bash
# Videos of recordings from the simulated head, checked with the tools people open them in:
# ffprobe reads H.264, yuv420p, the size asked for, the index in front and as many frames as the
# recording's time at the frame rate; a frame taken out with ffmpeg -ss matches `vexar-cli render`
# of the ping shown at its moment (and not its neighbours); several recordings make one video in
# their time order. Then the faults: junk or empty input, a folder that cannot be written, the
# recording as the output, a full disk and Ctrl+C exit with a message said once and leave no file.
# Everything on 127.0.0.1. Usage: cli_video.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
source "$(dirname "$0")/headsim_work.sh"
# Qt says nothing about a missing runtime folder: stderr holds only what the command says.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Speckle, sway and a fast mover make every ping's picture its own.
start_headsim --ring 8,0.6 --target 45,5,1 --mover 120,3,1,20,0.2 --noise 0.03 --sway 0.05
# Loopback addresses, and pings at the 10 a second of a survey.
settings=$work/Vexar.INI
{
    printf '[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nPing Delay=90\n[Sonar]\n'
    printf '%s\n' "Number of Samples=1000" "Beams=480" "Operating Range=3" "DetectProfilePoints=1"
} >"$settings"
"$cli" record --settings "$settings" --sonar "127.0.0.1:$port" --pings 30 "$work/a.R96" >/dev/null
"$cli" record --settings "$settings" --sonar "127.0.0.1:$port" --pings 12 "$work/b.R96" >/dev/null
stop_headsim

video() { "$cli" video --settings "$settings" "$@"; }

# The paced timeline of recordings played one after the other, as `info` lists their records:
# prints the frame count for FPS and SPEED, then for each frame K given the recording's index and
# the ping it shows.
timeline() { # FPS SPEED "K..." FILE...
    local fps=$1 speed=$2 frames=$3
    shift 3
    for f in "$@"; do "$cli" info "$f" | sed -n "s|^[0-9]*\t[0-9]*\tR96\t[0-9]*\t\([0-9]*\).*|$f \1|p"; done |
        python3 -c '
import datetime, math, sys
fps, speed, frames = int(sys.argv[1]), float(sys.argv[2]), [int(k) for k in sys.argv[3].split()]
pings, stamps = [], []
for line in sys.stdin:
    name, s = line.split()
    d = datetime.datetime(int(s[4:8]), int(s[2:4]), int(s[0:2]), int(s[8:10]), int(s[10:12]), int(s[12:14]))
    number = sum(1 for p in pings if p[0] == name)
    pings.append((name, number))
    stamps.append(d.timestamp() * 1000 + int(s[14:17]))
gaps = [min(max(b - a, 0), 5000) for a, b in zip(stamps, stamps[1:])]
at = [0.0]
for g in gaps:
    at.append(at[-1] + g)
tail = [g for g in gaps if g > 0][-1]
step = 1000.0 * speed / fps
print(math.ceil((at[-1] + tail) / step - 1e-6))
for k in frames:
    shown = max(i for i, p in enumerate(at) if p <= k * step + 1e-6)
    print(k, *pings[shown])
' "$fps" "$speed" "$frames"
}

# "codec pix_fmt WxH frames duration" of a video.
probe() {
    ffprobe -v error -select_streams v:0 -count_frames -show_entries \
        stream=codec_name,pix_fmt,width,height,nb_read_frames:format=duration -of csv=p=0 "$1" |
        tr ',\n' '  ' | awk '{print $1, $4, $2 "x" $3, $5, $6}'
}

# PSNR of two pictures, with the video's caption box (top right) blanked in both.
psnr() {
    local blank="drawbox=x=iw-320:y=20:w=320:h=100:color=black:t=fill"
    ffmpeg -v info -i "$1" -i "$2" -lavfi "[0]$blank[a];[1]$blank[b];[a][b]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p'
}

# ---- H.264 in MP4, every frame of the recording's time, the index in front ----
video "$work/a.R96" --out "$work/a.mp4" >"$work/a.out"
grep -q "^wrote .*a.mp4: [0-9]* frames, 1920x1080 at 25 fps" "$work/a.out" || fail "summary: $(cat "$work/a.out")"
grep -Eq "[0-9.]+ frames/s, [0-9.]+x real time" "$work/a.out" || fail "no speed in the summary"
read -r codec format size frames duration < <(probe "$work/a.mp4")
[[ $codec == h264 && $format == yuv420p && $size == 1920x1080 ]] || fail "stream: $codec $format $size"
python3 -c "import sys; sys.exit(abs($frames - $duration * 25) > 1)" || fail "$frames frames in $duration s"
total=$(timeline 25 1 "" "$work/a.R96")
mapfile -t plan < <(timeline 25 1 "$((total / 4)) $((total / 2))" "$work/a.R96")
[[ $frames == "${plan[0]}" ]] || fail "$frames frames, the recording's time makes ${plan[0]}"
python3 - "$work/a.mp4" <<'PY' || fail "the index is not in front of the frames"
import struct, sys
data, at, boxes = open(sys.argv[1], "rb").read(), 0, []
while at + 8 <= len(data):
    size, kind = struct.unpack(">I4s", data[at:at + 8])
    boxes.append(kind)
    at += size if size > 1 else len(data)
sys.exit(not (b"moov" in boxes and boxes.index(b"moov") < boxes.index(b"mdat")))
PY

# ---- A frame is the picture of the ping shown at its moment ----
for line in "${plan[@]:1}"; do
    read -r k file ping <<<"$line"
    ffmpeg -v error -y -ss "$(python3 -c "print(($k - 0.5) / 25)")" -i "$work/a.mp4" -frames:v 1 "$work/frame.png"
    for p in $((ping - 1)) "$ping" $((ping + 1)); do
        "$cli" render --settings "$settings" "$file" --ping "$p" --size 1920x1080 --out "$work/ping$p.png" >/dev/null
    done
    shown=$(psnr "$work/frame.png" "$work/ping$ping.png")
    before=$(psnr "$work/frame.png" "$work/ping$((ping - 1)).png")
    after=$(psnr "$work/frame.png" "$work/ping$((ping + 1)).png")
    python3 -c "import sys; sys.exit(not ($shown >= 30 and $shown > $before and $shown > $after))" ||
        fail "frame $k: PSNR $shown dB against ping $ping, $before and $after against its neighbours"
done

# ---- Size, frame rate, speed and a stretch of the recording ----
video "$work/a.R96" --out "$work/small.mp4" --size 720 --fps 10 --speed 2 >/dev/null
read -r _ _ size frames _ < <(probe "$work/small.mp4")
expected=$(timeline 10 2 "" "$work/a.R96")
[[ $size == 1280x720 && $frames == "$expected" ]] || fail "--size 720 --fps 10 --speed 2: $size, $frames frames"
video "$work/a.R96" --out "$work/part.mp4" --from 1 --to +2 >/dev/null
read -r _ _ _ frames _ < <(probe "$work/part.mp4")
[[ $frames == 25 ]] || fail "one second of the recording made $frames frames"
video "$work/a.R96" --out "$work/max.mp4" --speed max --size 640x360 >/dev/null
read -r _ _ _ frames _ < <(probe "$work/max.mp4")
[[ $frames == 30 ]] || fail "--speed max: $frames frames for 30 pings"

# ---- Several recordings: one video in their time order, whatever the order named ----
video "$work/b.R96" "$work/a.R96" --out "$work/ba.mp4" --size 360 >/dev/null
video "$work/a.R96" "$work/b.R96" "$work/a.R96" --out "$work/ab.mp4" --size 360 >/dev/null
cmp -s "$work/ab.mp4" "$work/ba.mp4" || fail "the order of the recordings named changed the video"
read -r _ _ _ frames _ < <(probe "$work/ab.mp4")
expected=$(timeline 25 1 "" "$work/a.R96" "$work/b.R96")
[[ $frames == "$expected" ]] || fail "two recordings made $frames frames, their time $expected"

# ---- Faults: exit 1, the reason said once, no file and no partial file ----
head -c 300000 /dev/urandom >"$work/junk.R96"
: >"$work/empty.R96"
mkdir "$work/out"
no_video() { # NAME EXPECTED-MESSAGE COMMAND...
    local name=$1 message=$2 status=0
    shift 2
    "$@" >/dev/null 2>"$work/err" || status=$?
    [[ $status == 1 ]] || fail "$name: exit status $status"
    [[ $(grep -c . "$work/err") == 1 ]] && grep -q "$message" "$work/err" || fail "$name: $(cat "$work/err")"
    [[ -z $(ls -A "$work/out") ]] || fail "$name left $(ls "$work/out")"
}
no_video junk "holds no whole ping" video "$work/junk.R96" --out "$work/out/v.mp4"
no_video empty "holds no whole ping" video "$work/empty.R96" --out "$work/out/v.mp4"
no_video "junk among good" "junk.R96 holds no whole ping" video "$work/a.R96" "$work/junk.R96" --out "$work/out/v.mp4"
no_video "folder that is a file" "cannot write" video "$work/a.R96" --out "$work/a.R96/v.mp4"
if [[ $(id -u) != 0 ]]; then
    chmod a-w "$work/out"
    no_video "read-only folder" "Permission denied" video "$work/a.R96" --out "$work/out/v.mp4"
    chmod u+w "$work/out"
fi
sum=$(md5sum <"$work/a.R96")
no_video "over its recording" "over the recording" video "$work/a.R96" --out "$work/a.R96"
[[ $(md5sum <"$work/a.R96") == "$sum" ]] || fail "the recording was changed"
# A full disk, as a file size limit (the signal it raises ignored, so that writes fail).
no_video "full disk" "cannot write .*File too large" \
    bash -c 'trap "" XFSZ; ulimit -f 40; exec "$@"' - "$cli" video --settings "$settings" "$work/a.R96" \
    --out "$work/out/v.mp4"
# Ctrl+C while the video is being written: status 130 and nothing left.
"$cli" video --settings "$settings" "$work/a.R96" --out "$work/out/v.mp4" --speed 0.1 >/dev/null 2>&1 &
victim=$!
for _ in $(seq 200); do compgen -G "$work/out/v.mp4.partial-*" >/dev/null && break; sleep 0.05; done
compgen -G "$work/out/v.mp4.partial-*" >/dev/null || fail "no partial file while writing"
kill -INT "$victim"
status=0
wait "$victim" || status=$?
victim=
[[ $status == 130 ]] || fail "Ctrl+C: exit status $status"
[[ -z $(ls -A "$work/out") ]] || fail "Ctrl+C left $(ls "$work/out")"
echo "videos checked: ${plan[0]} frames of one recording, two recordings in time order, and the faults"
