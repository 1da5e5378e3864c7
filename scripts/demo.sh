#!/usr/bin/env bash
# Builds the shipped launcher and runs it in a fresh Windows 10 64-bit Wine
# prefix, then prints its exit code, what the run left on the machine and
# its support log, before the prefix goes.
# The arguments, joined by blanks, are the launcher's command line as they
# stand, whatever they start with; for example:
#   scripts/demo.sh -quiet
#   scripts/demo.sh -msiargs '"/i $MSIPATH /qn"'
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-x86 >/dev/null
# Only what the one run needs: the launcher with its payloads, and the probe
# that starts it with an exact command line. The scenario makes the prefix.
cmake --build --preset windows-x86 --target InstallerLauncher launch_probe
# The "=" form keeps arguments that start with a hyphen from being read as
# options of the scenario runner.
exec /usr/bin/python3 tests/e2e/scenario.py --test-values build/windows-x86/test-values/test-values.json \
    --prefix win10-64 --base build/windows-x86/prefixes/e2e/win10-64 \
    --launcher build/windows-x86/InstallerLauncher.exe --probe build/windows-x86/tests/e2e/launch_probe.exe \
    --show-log "--arguments=$*"
