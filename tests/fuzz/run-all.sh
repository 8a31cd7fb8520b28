#!/usr/bin/env bash
# run-all.sh <build-dir> <seconds>: runs every fuzz target for a while over its seed corpus, one
# target per core at a time.
set -euo pipefail
dir=$(cd "$1" && pwd); seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

run_one() {
    local bin=$1 seconds=$2 here=$3 name work log status=0
    name=$(basename "$bin"); name=${name#fuzz_}
    work=$(mktemp -d); log=$(mktemp)
    local seeds=()
    [ -d "$here/corpus/$name" ] && seeds=("$here/corpus/$name")
    if (cd "$work" && "$bin" -max_total_time="$seconds" -print_final_stats=1 "$work" "${seeds[@]}" >"$log" 2>&1); then
        echo "-- fuzz $name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs in ${seconds}s"
    else
        echo "-- fuzz $name FAILED"; tail -40 "$log"; status=1
    fi
    rm -rf "$work" "$log"
    return $status
}
export -f run_one
find "$dir/tests/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort |
    xargs -P "$(nproc)" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$here"
