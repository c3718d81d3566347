#!/usr/bin/env bash
# Records pings from the simulated head with vexar-cli, lists and converts the recording, and
# receives the conversion's UDP output with vexar-cli listen: what arrives must equal the
# converted files byte for byte. Everything runs on 127.0.0.1.
# Usage: cli_record_convert_listen.sh VEXAR_CLI VEXAR_HEADSIM
set -euo pipefail
cli=$1
headsim=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen

# The port a program printed as "... listening on 127.0.0.1:PORT" on the given file.
wait_port() {
    local file=$1
    for _ in $(seq 100); do
        if grep -q "listening on 127.0.0.1:" "$file" 2>/dev/null; then
            grep -o "listening on 127.0.0.1:[0-9]*" "$file" | head -1 | sed 's/.*://'
            return 0
        fi
        sleep 0.1
    done
    echo "no listening line in $file" >&2
    cat "$file" >&2
    return 1
}

"$headsim" --listen 127.0.0.1:0 --target 45,5,1 --ring 8,0.5 >"$work/headsim.out" 2>&1 &
pids+=($!)
head_port=$(wait_port "$work/headsim.out")

"$cli" listen --port 0 --count 20 --out "$work/received" --timeout 60 >"$work/listen.out" 2>"$work/listen.err" &
listen_pid=$!
pids+=($listen_pid)
out_port=$(wait_port "$work/listen.err")

# Small pings (120 beams, 500 samples): a beam record is three datagrams, which the receive
# buffer holds whatever the scheduling.
settings() { # UDP output on (1) or off (0)
    cat <<INI
[System]
IPAddress_Sonar1=127.0.0.1
IPAddress_Output1=127.0.0.1
RemotePort_Output1=$out_port
UdpOutputP96=$1
UdpOutputB96=$1
[Sonar]
Number of Samples=500
Beams=120
INI
}
settings 0 >"$work/Record.INI"
settings 1 >"$work/Vexar.INI"

"$cli" record --settings "$work/Record.INI" --sonar "127.0.0.1:$head_port" --pings 10 "$work/live.R96"

"$cli" info --settings "$work/Vexar.INI" "$work/live.R96" >"$work/info.out"
grep -q "^# 10 records, 0 damaged stretches" "$work/info.out" || { cat "$work/info.out"; exit 1; }
# Header, reserved block and 64 packet pairs; live records carry no navigation sentence.
[[ $(grep -c $'\tR96\t69952\t' "$work/info.out") == 10 ]] || { cat "$work/info.out"; exit 1; }

"$cli" convert --settings "$work/Vexar.INI" "$work/live.R96" --p96 "$work/live.P96" --b96 "$work/live.B96" \
    --sleep 20 >"$work/convert.out"
grep -q "^10 pings converted" "$work/convert.out" || { cat "$work/convert.out"; exit 1; }

wait "$listen_pid"
grep -q "^# 20 records, 0 damaged, 0 missing" "$work/listen.out" || { cat "$work/listen.out"; exit 1; }
cmp "$work/received/received.P96" "$work/live.P96"
cmp "$work/received/received.B96" "$work/live.B96"
"$cli" info "$work/live.B96" | grep -q "^# 10 records, 0 damaged stretches"

# A point record dropped on purpose: listen --stats reports the gap in the record numbers. The
# point file alone has consecutive numbers; every record but the fourth is sent again.
"$cli" convert --settings "$work/Record.INI" "$work/live.R96" --p96 "$work/alone.P96" >/dev/null
"$cli" listen --port 0 --count 9 --stats --timeout 60 --out "$work/received" >"$work/gap.out" 2>"$work/gap.err" &
gap_pid=$!
pids+=($gap_pid)
gap_port=$(wait_port "$work/gap.err")
python3 - "$work/alone.P96" "$gap_port" <<'PY'
import socket, struct, sys, time
data = open(sys.argv[1], 'rb').read()
records = []
while data:
    length = struct.unpack_from('<I', data, 4)[0]
    records.append(data[:length])
    data = data[length:]
assert len(records) == 10, len(records)
out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for i, record in enumerate(records):
    if i != 3:
        out.sendto(record, ('127.0.0.1', int(sys.argv[2])))
        time.sleep(0.01)
PY
wait "$gap_pid"
grep -q "^# 9 records, 0 damaged, 1 missing" "$work/gap.out" || { cat "$work/gap.out"; exit 1; }
# The second capture into the folder goes beside the first.
cmp "$work/received/received.P96" "$work/live.P96"
"$cli" info "$work/received/received-2.P96" | grep -q "^# 9 records, 0 damaged stretches"
echo "recorded, converted and received 10 pings; a dropped record is reported missing"
