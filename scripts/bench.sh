#!/usr/bin/env bash
# Measures the launcher's speed, memory and size against the machine's own
# limits, in a fresh Windows 10 64-bit Wine prefix, and ends with a table of
# figure, value, target and whether it is met. Installs what it needs first.
#   scripts/bench.sh [REPETITIONS]     (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. tests/support/wine-env.sh
if ! can_run_32bit; then
    echo "This machine cannot execute 32-bit x86 code, and the launcher is a 32-bit program: nothing to measure." >&2
    exit 77
fi
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target InstallerLauncher bench_programs >/dev/null
exec /usr/bin/python3 tests/bench/bench.py --build build/windows-x86 \
    --prefix build/windows-x86/prefixes/bench/win10-64 --repetitions "${1:-5}"
