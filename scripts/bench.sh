#!/usr/bin/env bash
# Measures the launcher's speed, memory and size against the machine's own
# limits, in a fresh Windows 10 64-bit Wine prefix, and ends with a table of
# figure, value, target and whether it is met. Installs what it needs first.
#   scripts/bench.sh [REPETITIONS]     (default 5)
# The launcher is a 32-bit program and is measured as one. A machine that
# cannot execute 32-bit code measures the 64-bit build of the same code
# instead, and says so; the size is always that of the shipped 32-bit file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. tests/support/wine-env.sh
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target InstallerLauncher >/dev/null
if can_run_32bit; then
    preset=windows-x86
    launcher=build/windows-x86/InstallerLauncher.exe
    detecting=launcher_detecting_prerequisites
    description="32-bit (windows-x86), in a fresh Windows 10 64-bit prefix under WOW64"
else
    preset=windows-x64
    launcher=build/windows-x64/variants/harness_launcher/InstallerLauncher.exe
    detecting=harness_detecting_prerequisites
    description="64-bit (windows-x64): this machine cannot execute 32-bit x86 code, so the same code is measured as a 64-bit program, in a fresh Windows 10 64-bit prefix"
    cmake --preset windows-x64 >/dev/null
    cmake --build --preset windows-x64 --target harness_launcher >/dev/null
fi
cmake --build --preset "$preset" --target bench_programs "$detecting" >/dev/null
exec /usr/bin/python3 tests/bench/bench.py --build "build/$preset" --launcher "$launcher" \
    --detecting-launcher "build/$preset/variants/$detecting/InstallerLauncher.exe" \
    --shipped build/windows-x86/InstallerLauncher.exe --description "$description" \
    --prefix "build/$preset/prefixes/bench/win10-64" --repetitions "${1:-5}"
