#!/usr/bin/env bash
# run-in-prefix.sh DIR ARCH PROGRAM [ARGUMENT...]
# Runs a Windows program in a prefix made by wine-prefix.sh and exits with its
# exit code (at the shell only the low 8 bits). Exits 77 (skipped) when the
# program is 32-bit and this machine's kernel cannot execute 32-bit code, and 1
# when it can but Wine does not run 32-bit programs.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh"

dir="$(realpath -m "$1")" arch="$2" program="$3"
shift 3
export WINEPREFIX="$dir"

if [ "$(od -An -tx1 -j "$(( $(od -An -tu4 -j60 -N4 "$program") + 4 ))" -N2 "$program" | tr -d ' ')" = 4c01 ] \
        && ! can_run_32bit; then
    exit 77
fi

# Output goes to files, not to CTest's pipe: a Wine background process that
# inherited the pipe would keep the test from ending.
out="$(mktemp)" err="$(mktemp)"
timeout -k 5 "${RUN_TIMEOUT:-600}" "$(wine_loader "$arch")" "$program" "$@" >"$out" 2>"$err" </dev/null
code=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $code
