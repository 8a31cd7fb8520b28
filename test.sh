#!/usr/bin/env bash
# Installs what is missing, checks that the sources follow .clang-format, builds, and runs every test:
# the suite (gcc, warnings are errors), the suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer (clang), and a short run of every fuzz target from that same clang tree.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc)

echo "== source format"
"$root/scripts/check-format.sh"

echo "== build and test"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=ON
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

echo "== sanitizer build and test, fuzz targets"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DTARN_SANITIZE=ON -DTARN_FUZZ=ON -DTARN_BENCH=OFF -DTARN_WERROR=ON
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions="$root/tests/lsan.supp":print_suppressions=0 \
    ctest --output-on-failure -j "$jobs")
"$root/tests/fuzz/run-all.sh" "$root/build-asan" "${TARN_FUZZ_SECONDS:-10}"
echo "== all tests passed"
