#!/usr/bin/env bash
# Installs what is missing, checks that the sources follow .clang-format, builds, and runs every test:
# the suite (gcc, warnings are errors), the suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer (clang), and a short run of every fuzz target from that same clang tree.
# Prints the time of each phase as it ends, and all of them at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)
# Most test cases wait on sockets, timers and child processes rather than compute: twice as many at a
# time as there are cores keeps both cores busy.
test_jobs=$((2 * jobs))

times=()
report() {
    [ ${#times[@]} -gt 0 ] || return 0
    echo "== phase times"
    printf '   %s\n' "${times[@]}"
}
trap report EXIT
phase() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    times+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
}

sanitizer_env=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
               "LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0")

phase "packages" "$root/scripts/install-deps.sh"
phase "source format" "$root/scripts/check-format.sh"
phase "build (gcc)" "$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=ON
phase "test (gcc)" ctest --test-dir "$root/build" --output-on-failure -j "$test_jobs"
phase "build (sanitizers)" env CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-asan" \
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DTARN_SANITIZE=ON -DTARN_FUZZ=ON -DTARN_BENCH=OFF \
    -DTARN_WERROR=ON
phase "test (sanitizers)" env "${sanitizer_env[@]}" ctest --test-dir "$root/build-asan" --output-on-failure -j "$test_jobs"
phase "fuzz targets" "$root/tests/fuzz/run-all.sh" "$root/build-asan" "${TARN_FUZZ_SECONDS:-10}"
echo "== all tests passed"
