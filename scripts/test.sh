#!/usr/bin/env bash
# Runs every test tier: host (sanitizers, fuzz targets), windows (GoogleTest
# under Wine, 32-bit and 64-bit builds) and e2e (the real launcher). Installs
# what it needs first. Exits non-zero when any tier fails. A tier's skipped
# tests are counted, and a machine whose kernel cannot execute 32-bit code
# ends with a banner that says the shipped 32-bit launcher was never run.
#   scripts/test.sh [PRESET...]     (default: host windows-x64 windows-x86)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. tests/support/wine-env.sh

presets=("$@")
[ $# != 0 ] || presets=(host windows-x64 windows-x86)
status=0
skipped=""
for preset in "${presets[@]}"; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    log="build/$preset/ctest-output.txt"
    if ! ctest --preset "$preset" 2>&1 | tee "$log"; then
        status=1
    fi
    count="$(grep -c '(Skipped)$' "$log" || true)"
    [ "$count" = 0 ] || skipped="$skipped $preset: $count tests skipped;"
done

runs_32bit=0
can_run_32bit >/dev/null || runs_32bit=$?
if [ "$runs_32bit" = 77 ]; then
    echo "################################################################################"
    echo "# NOT TESTED HERE: this machine's kernel cannot execute 32-bit x86 code."
    echo "# Skipped:${skipped:- none}"
    echo "# The shipped 32-bit launcher never ran, nor 32-bit Windows with its 64-bit"
    echo "# packages and WOW64: run the windows-x86 tier on a machine that can."
    echo "################################################################################"
elif [ -n "$skipped" ]; then
    echo "=== skipped:$skipped"
fi
exit $status
