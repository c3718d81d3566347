# Sourced by the scripts that run vexar-cli against the simulated head: a work folder removed at
# exit with the head and any program the script keeps in $victim, `fail`, and `start_headsim
# ARGS...`, which starts the head on a free port of 127.0.0.1 and sets `port`. Expects `headsim`
# to name the program.
work=$(mktemp -d)
head_pid=
victim=
cleanup() {
    for pid in $head_pid $victim; do kill -KILL "$pid" 2>/dev/null || true; done
    [[ -n ${VEXAR_KEEP_WORK:-} ]] || rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*" >&2; exit 1; }

start_headsim() {
    "$headsim" --listen 127.0.0.1:0 "$@" >"$work/headsim.out" 2>&1 &
    head_pid=$!
    for _ in $(seq 100); do grep -q "listening on 127.0.0.1:" "$work/headsim.out" && break; sleep 0.1; done
    port=$(grep -o "listening on 127.0.0.1:[0-9]*" "$work/headsim.out" | sed 's/.*://')
    [[ -n $port ]] || fail "the simulated head did not start"
}

stop_headsim() {
    kill "$head_pid"
    head_pid=
}

# Writes $work/Vexar.INI pointing the sonar and the UDP output at 127.0.0.1, with the given
# lines ("Key=value") in its [Sonar] section.
loopback_settings() {
    printf '[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n[Sonar]\n' >"$work/Vexar.INI"
    printf '%s\n' "$@" >>"$work/Vexar.INI"
}

# Copies recording $1 to $2 with a navigation sentence added to each record, as a vehicle's
# recorder stores them (live recordings carry none): the sentence follows the packet pairs, and the
# header's total length, sentence length and flag say so. The fixes step north a little a ping.
with_navigation() {
    python3 - "$1" "$2" <<'PY'
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
}

# "N" when `vexar-cli info` finds N records and nothing damaged in the file, else fails.
whole_records() { # CLI FILE
    local out
    out=$("$1" info "$2")
    local totals
    totals=$(sed -n 's/^# \([0-9]*\) records, 0 damaged stretches.*/\1/p' <<<"$out")
    if [[ -z $totals ]]; then
        echo "$out" | grep -v '^[0-9]' >&2
        echo "damaged records in $2" >&2
        return 1
    fi
    echo "$totals"
}
