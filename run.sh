#!/usr/bin/env bash
# Installs what is missing, builds, and starts TARN Manager against a simulated fleet on loopback.
# Extra arguments go to tarn-manager (e.g. ./run.sh --fleet my-fleet.json, or ./run.sh --no-demo).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" --target tarn-manager --target tarnctl --target tarn-sim \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=ON
demo=(--demo)
for a in "$@"; do [ "$a" = "--no-demo" ] && demo=(); done
args=()
for a in "$@"; do [ "$a" != "--no-demo" ] && args+=("$a"); done
exec "$root/build/bin/tarn-manager" "${demo[@]}" "${args[@]}"
