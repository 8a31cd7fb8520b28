#!/usr/bin/env bash
# run-all.sh <fuzz-build-dir> <seconds>: runs every fuzz target for a while over its seed corpus.
set -euo pipefail
dir=$(cd "$1" && pwd); seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
status=0
for bin in "$dir"/tests/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    name=$(basename "$bin"); name=${name#fuzz_}
    work=$(mktemp -d); log=$(mktemp)
    seeds=()
    [ -d "$here/corpus/$name" ] && seeds=("$here/corpus/$name")
    echo "-- fuzz $name (${seconds}s)"
    if ! (cd "$work" && "$bin" -max_total_time="$seconds" -print_final_stats=0 "$work" "${seeds[@]}" >"$log" 2>&1); then
        tail -40 "$log"; status=1
    fi
    rm -rf "$work" "$log"
done
exit $status
