#!/usr/bin/env bash
# Runs the Windows DI-194RS driver tests under Wine against the Linux simulator:
#   run-driver-tests.sh SIMULATOR TEST_EXE PORT_NUMBER [gtest arguments...]
# Starts the simulator on a pseudo-terminal of its own, links COM<PORT_NUMBER> of the Wine
# prefix ($WINEPREFIX, a running session) to it, runs the test program and cleans up. The
# prefix's port is linked to the simulator's own link, which the simulator points at each new
# pseudo-terminal when it is plugged back in; while it is unplugged the link dangles.
set -euo pipefail

simulator="${1:?simulator program}"
test_program="${2:?test program (.exe)}"
port="${3:?COM port number}"
shift 3
: "${WINEPREFIX:?the Wine prefix of a running session}"

work="$(mktemp -d "${TMPDIR:-/tmp}/torven-wine-driver-XXXXXX")"
port_link="$WINEPREFIX/dosdevices/com$port"
simulator_pid=""
cleanup() {
    if [ -n "$simulator_pid" ]; then
        kill "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
    fi
    rm -f "$port_link"
    rm -rf "$work"
}
trap cleanup EXIT

# The Wine path of a file of this machine: Z: is the root in every prefix.
wine_path() { printf 'Z:%s' "${1//\//\\}"; }

volts=(2.5 -3.75 0 9.98046875)
channels=()
for i in 0 1 2 3; do channels+=(--channel "$((i + 1))=const:${volts[$i]}"); done

"$simulator" --link "$work/COM$port" --control "$work/control" --verbose "${channels[@]}" \
    </dev/null >"$work/simulator.log" 2>&1 &
simulator_pid=$!
for _ in $(seq 100); do
    [ -e "$work/COM$port" ] && [ -p "$work/control" ] && break
    sleep 0.1
done
[ -e "$work/COM$port" ] || { echo "the simulator did not start" >&2; cat "$work/simulator.log" >&2; exit 1; }
ln -sfn "$work/COM$port" "$port_link"

# The test program's exit status is the script's; the trap cleans up after it.
TORVEN_TEST_PORT="COM$port" \
    TORVEN_SIM_VOLTS="$(IFS=,; echo "${volts[*]}")" \
    TORVEN_SIM_CONTROL="$(wine_path "$work/control")" \
    TORVEN_SIM_LOG="$(wine_path "$work/simulator.log")" \
    WINEDEBUG="${WINEDEBUG:--all}" wine "$test_program" "$@"
