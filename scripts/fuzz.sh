#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, keeping each target's corpus in
# fuzz-corpus/<target>, and prints the executions and findings of each.
set -uo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$build"/fuzz/fuzz_*; do
    [[ -x "$target" ]] || continue
    name=$(basename "$target")
    corpus="$root/fuzz-corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [[ -d "$root/fuzz/seeds/$name" ]] && seeds=("$root/fuzz/seeds/$name")
    log="$build/fuzz/$name.log"
    "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/fuzz/$name-" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    if [[ $rc -eq 0 ]]; then
        echo "$name: ${execs:-?} executions, no findings"
    else
        echo "$name: ${execs:-?} executions, FINDING (exit $rc), see $log"
        status=1
    fi
done
exit $status
