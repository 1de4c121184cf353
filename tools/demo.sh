#!/usr/bin/env bash
# The monitor against a simulated DI-194RS, in a scratch station folder demo-station/ at the
# top of the repository. `make demo` runs it after `make build`.
#
# The simulator plays one device on COM1 with a different signal on each channel; the monitor
# runs in this terminal from demo-station/bin, with the script's arguments as its own (the
# Makefile passes DEMO_ARGS, by default "--http 8080": the remote status on
# http://127.0.0.1:8080/). Quit with Escape then Q, or with Control-C.
# Either way the simulator is stopped afterwards and the script tells where the files are.

set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TORVEN_BUILD_DIR:-$repo/build}"
monitor="$build/torven-monitor"
simulator="$build/di194rs-sim"
station="$repo/demo-station"
simulator_pid=""
monitor_running=""

for program in "$monitor" "$simulator"; do
    if [[ ! -x "$program" ]]; then
        echo "demo: $program is missing; run 'make build' first" >&2
        exit 1
    fi
done
if [[ ! -t 0 || ! -t 1 ]]; then
    echo "demo: the monitor needs a terminal to draw on and to read keys from" >&2
    exit 1
fi

stop_simulator() {
    if [[ -n "$simulator_pid" ]] && kill -0 "$simulator_pid" 2>/dev/null; then
        kill -TERM "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
    fi
    simulator_pid=""
}

report() {
    echo
    echo "Demo station: $station"
    echo "  data files:      $station/Data/"
    echo "  handed over:     $station/ToSend/"
    echo "  files in work:   $station/tmp/"
    echo "  event log:       $station/EventLog/"
    echo "  last screen:     $station/tmp/Console.txt"
    echo "  simulator log:   $station/simulator.log"
    local files
    files="$(cd "$station/Data" && ls -1t -- *.csv 2>/dev/null | head -n 8)" || true
    if [[ -n "$files" ]]; then
        echo "Latest data files:"
        echo "$files" | sed 's/^/  /'
    fi
}

clean_up() {
    stop_simulator
    report
}
# Control-C while the monitor runs is the monitor's own orderly end; the script waits for it
# and then cleans up. Before that it ends the script. (A trap with a command, unlike an empty
# one, leaves the signal at its default for the programs the script starts.)
on_interrupt() {
    echo
    echo "demo: Control-C"
    [[ -n "$monitor_running" ]] || exit 130
}
trap clean_up EXIT
trap on_interrupt INT
trap 'exit 143' TERM
trap 'exit 129' HUP

make_station() {
    mkdir -p "$station"/{bin,Conf,EventLog,tmp,Data,ToSend,Ports}
    # Every port but COM1 points nowhere, so that a scan never reaches a real serial port.
    for port in $(seq 2 20); do
        ln -sfn "unplugged-COM$port" "$station/Ports/COM$port"
    done
    cat >"$station/Conf/TORVEN_config.txt" <<'EOF'
# Demo station: one simulated DI-194RS on COM1, each channel recorded as its own stream.
SITE = Demo Ridge, Longitude = -105.27, Latitude = 40.01, Comments = make demo
DEVICE = DI-194RS, PORT = COM1
CHANNEL = 1, DATATYPE = KORALI-VX, StationID = DM1, Frequency = 24.0, MonitorID = 000101, SampleRate = 1, Comments = constant 2.5 V
CHANNEL = 2, DATATYPE = KORALI-VX, StationID = DM2, Frequency = 24.0, MonitorID = 000102, SampleRate = 5, Comments = ramp over 60 s
CHANNEL = 3, DATATYPE = KORALI-VX, StationID = DM3, Frequency = 24.0, MonitorID = 000103, SampleRate = 10, Comments = sine over 30 s
CHANNEL = 4, DATATYPE = KORALI-VX, StationID = DM4, Frequency = 24.0, MonitorID = 000104, SampleRate = 60, Comments = slow sine over 5 min
EOF
}

start_simulator() {
    # In a session of its own, so that Control-C in this terminal reaches only the monitor
    # and the device stays until the monitor has said goodbye to it.
    setsid "$simulator" --link "$station/Ports/COM1" \
        --channel 1=const:2.5 \
        --channel 2=ramp:0:8:60 \
        --channel 3=sine:0:9:30 \
        --channel 4=sine:-3:4:300 \
        --verbose </dev/null >"$station/simulator.log" 2>&1 &
    simulator_pid=$!
    for _ in $(seq 50); do
        [[ -c "$station/Ports/COM1" ]] && return 0
        kill -0 "$simulator_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "demo: the simulator did not come up; see $station/simulator.log" >&2
    exit 1
}

make_station
start_simulator

columns="$(tput cols 2>/dev/null || echo 80)"
lines="$(tput lines 2>/dev/null || echo 51)"
if ((columns < 80 || lines < 51)); then
    echo "demo: this terminal is ${columns}x${lines}; the monitor draws 80x51 - enlarge it for the whole picture"
    sleep 2
fi

status=0
cd "$station/bin"
monitor_running=yes
"$monitor" "$@" || status=$?
monitor_running=""
cd "$repo"
echo "demo: the monitor ended with status $status"
# 0 after Q, 255 after Control-C: both are the monitor's normal ways out.
if ((status != 0 && status != 255)); then
    exit "$status"
fi
