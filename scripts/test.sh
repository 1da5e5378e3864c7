#!/usr/bin/env bash
# Runs every test tier: host (sanitizers, fuzz targets), windows (GoogleTest
# under Wine, 32-bit and 64-bit builds) and e2e (the real launcher). Installs
# what it needs first. Exits non-zero when any tier fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

status=0
for preset in host windows-x64 windows-x86; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" || status=1
done
exit $status
