#!/usr/bin/env bash
# run-scenario.sh BASE ARCH VERSION PROGRAM [ARGUMENT...]
# Runs a launcher build in a fresh prefix: a copy of the base prefix BASE
# (made once, ARCH win32 or win64, VERSION win7, win81 or win10), removed
# afterwards. Prints the exit code and what the run left on the machine, and
# exits with the launcher's exit code (low 8 bits at the shell); 77 when this
# machine cannot run the 32-bit launcher at all.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
support="$here/../support"
. "$support/wine-env.sh"

base="$(realpath -m "$1")" arch="$2" version="$3" program="$4"
shift 4

if ! can_run_32bit; then
    echo "skipped: this machine cannot execute 32-bit x86 code, so the 32-bit launcher cannot run under Wine here"
    exit 77
fi
"$support/wine-prefix.sh" create "$base" "$arch" "$version" || exit $?

scenario="$(mktemp -d "${TMPDIR:-/tmp}/launcher-scenario.XXXXXX")"
trap 'WINEPREFIX="$scenario/prefix" "$(wine_server)" -k >/dev/null 2>&1; rm -rf "$scenario"' EXIT
# A plain copy: hard links would let the scenario write through into the base.
cp -a "$base" "$scenario/prefix"

"$support/run-in-prefix.sh" "$scenario/prefix" "$arch" "$program" "$@" >"$scenario/stdout" 2>"$scenario/stderr"
code=$?

echo "exit code: $code"
echo "standard output:"
sed 's/^/  /' "$scenario/stdout"
echo "product package folder:"
find "$scenario/prefix/drive_c/ProgramData/Kesmora" -type f 2>/dev/null | sed "s|$scenario/prefix/drive_c|  C:|" || true
echo "staging folders left in the temporary folder:"
find "$scenario"/prefix/drive_c/users/*/Temp -mindepth 1 -maxdepth 1 -type d 2>/dev/null | sed "s|$scenario/prefix/drive_c|  C:|"
exit $code
