#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite, the suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer, and a short run of every fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc)

echo "== build and test"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=ON
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

echo "== sanitizer build and test"
"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTARN_SANITIZE=ON -DTARN_BENCH=OFF -DTARN_WERROR=ON
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions="$root/tests/lsan.supp":print_suppressions=0 \
    ctest --output-on-failure -j "$jobs")

echo "== fuzz targets"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_FUZZ=ON
"$root/tests/fuzz/run-all.sh" "$root/build-fuzz" "${TARN_FUZZ_SECONDS:-10}"
echo "== all tests passed"
