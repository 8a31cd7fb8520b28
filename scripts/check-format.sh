#!/usr/bin/env bash
# check-format.sh: fails, naming the files, when a C++ source file does not follow .clang-format.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
off=$(git ls-files -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror 2>&1 | grep -o '^[^:]*\.\(cpp\|h\)' | sort -u || true)
if [ -n "$off" ]; then
    echo "These files do not follow .clang-format (clang-format -i FILE):" >&2
    echo "$off" >&2
    exit 1
fi
