#!/usr/bin/env bash
# Runs every libFuzzer program of a fuzz build for a bounded time, each on a working copy of
# its seed corpus (tests/fuzz/corpus/<target>), which keeps the new inputs found between runs.
# The fuzzer's output goes to <build>/fuzz/<target>.log; a crash reproducer is kept as
# <build>/fuzz/<target>-crash-... and ends the run with status 1.
#
#     tests/fuzz/run-fuzzers.sh BUILD_DIRECTORY SECONDS_PER_TARGET
set -euo pipefail

build=$(cd "$1" && pwd)
seconds=$2
seeds=$(cd "$(dirname "$0")/corpus" && pwd)
status=0
# The fuzzers run in a folder of their own with no event log folder beside it, so that the
# lines they log go to the console's screen rather than into a file.
mkdir -p "$build/fuzz/bin"
cd "$build/fuzz/bin"

for corpus in "$seeds"/*/; do
    target=$(basename "$corpus")
    work="$build/fuzz/$target-corpus"
    log="$build/fuzz/$target.log"
    mkdir -p "$work"
    cp "$corpus"* "$work"/
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz/$target-" "$work" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz_$target: $runs inputs in ${seconds} s, no failure ($(ls "$work" | wc -l) in corpus)"
    else
        echo "fuzz_$target FAILED; the end of $log:"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
