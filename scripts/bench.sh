#!/usr/bin/env bash
# Runs every benchmark of a build and prints their "name value" lines.
set -euo pipefail
build=${1:-build}
status=0
for bench in "$build"/bench/bench_*; do
    [[ -x "$bench" ]] || continue
    "$bench" || { echo "$(basename "$bench") failed" >&2; status=1; }
done
exit $status
