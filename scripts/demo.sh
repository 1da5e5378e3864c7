#!/usr/bin/env bash
# Builds the shipped launcher and runs it in a fresh Windows 10 64-bit Wine
# prefix, then prints its exit code and what the run left on the machine.
# The arguments are the launcher's command line, for example:
#   scripts/demo.sh -quiet
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
exec /usr/bin/python3 tests/e2e/scenario.py --base build/windows-x86/prefixes/e2e/win10-64 --arch win64 --version win10 \
    --launcher build/windows-x86/InstallerLauncher.exe --probe build/windows-x86/tests/e2e/launch_probe.exe \
    --arguments "$*"
