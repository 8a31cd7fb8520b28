#!/usr/bin/env bash
# build.sh <build-dir> [--target T...] [cmake options...]: configures one build tree with exactly the
# options given (every run, so a tree never keeps flags from an earlier call) and builds it, or only the
# named targets.
set -euo pipefail
dir=$1; shift
root=$(cd "$(dirname "$0")/.." && pwd)
targets=()
options=()
while [ $# -gt 0 ]; do
    case $1 in
        --target) targets+=(--target "$2"); shift 2 ;;
        *) options+=("$1"); shift ;;
    esac
done
cmake -S "$root" -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
