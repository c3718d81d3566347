# Sourced by the scripts that run vexar-cli against the simulated head: a work folder removed at
# exit with the head, `fail`, and `start_headsim ARGS...`, which starts the head on a free port of
# 127.0.0.1 and sets `port`. Expects `headsim` to name the program.
work=$(mktemp -d)
head_pid=
cleanup() {
    [[ -n $head_pid ]] && kill "$head_pid" 2>/dev/null || true
    rm -rf "$work"
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
