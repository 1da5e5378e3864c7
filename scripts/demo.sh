#!/usr/bin/env bash
# Builds the shipped launcher and runs it in a fresh Windows 10 64-bit Wine
# prefix, then prints its exit code and what the run left on the machine.
# Arguments are handed to the launcher, for example: scripts/demo.sh -quiet
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
exec tests/e2e/run-scenario.sh build/windows-x86/prefixes/e2e/win10-64 win64 win10 \
    build/windows-x86/InstallerLauncher.exe "$@"
