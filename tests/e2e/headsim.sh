# Sourced by the end-to-end scripts: a work folder ($work) that goes at exit together with the
# simulated head and any program the script keeps in $victim, offscreen Qt, and the helpers below.
work=$(mktemp -d)
head_pid=
victim=
cleanup() {
    for pid in $head_pid $victim; do kill -KILL "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen

# start_head HEADSIM [OPTION...] starts the simulated head on a free loopback port and sets
# head_pid and port.
start_head() {
    local program=$1
    shift
    "$program" --listen 127.0.0.1:0 "$@" >"$work/headsim.out" 2>&1 &
    head_pid=$!
    for _ in $(seq 100); do
        grep -q "listening on 127.0.0.1:" "$work/headsim.out" 2>/dev/null && break
        sleep 0.1
    done
    port=$(grep -o "listening on 127.0.0.1:[0-9]*" "$work/headsim.out" | sed 's/.*://')
    [[ -n $port ]] || { cat "$work/headsim.out" >&2; echo "the simulated head did not start" >&2; return 1; }
}

# A settings file on stdout for small pings (120 beams, 500 samples) from the head on $port;
# nothing leaves 127.0.0.1.
loopback_settings() {
    cat <<INI
[System]
IPAddress_Sonar1=127.0.0.1
RemotePort_Sonar1=$port
IPAddress_Output1=127.0.0.1
RemotePort_Output1=9
[Sonar]
Number of Samples=500
Beams=120
DetectProfilePoints=1
INI
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
