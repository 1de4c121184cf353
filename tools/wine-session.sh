#!/usr/bin/env bash
# Starts or stops the Wine session the Windows tests run in: a prefix of their own and a
# persistent wineserver. Started here, with every standard stream closed, Wine's background
# processes never hold a test runner's output pipe open (ctest would wait for them forever).
#   tools/wine-session.sh start PREFIX    tools/wine-session.sh stop PREFIX
set -euo pipefail

command="${1:?start or stop}"
export WINEPREFIX="${2:?Wine prefix folder}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$command" in
start)
    mkdir -p "$WINEPREFIX"
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1
    # wineboot returns before the prefix is ready for the first program; a program that
    # ends proves it is.
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1
    # A COM port without a link reaches the machine's own /dev/ttyS<n-1>; linked to a folder,
    # which opens as no port, COM1 to COM20 stay away from real hardware until a test links
    # one to a simulator.
    for number in $(seq 1 20); do
        ln -sfn "$WINEPREFIX" "$WINEPREFIX/dosdevices/com$number"
    done
    ;;
stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
