#!/usr/bin/env bash
# wine-prefix.sh create|start|stop DIR ARCH VERSION
#   create  makes the prefix once (ARCH win32 or win64, VERSION win7, win81,
#           win10) and keeps it: later calls find it ready
#   start   creates it if needed, then starts a persistent server and boots
#           it, so that each test program starts fast and no Wine background
#           process holds the test's output open
#   stop    ends the prefix's server, which also writes its registry files
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh"

action="$1" dir="$(realpath -m "$2")" arch="$3" version="$4"
export WINEPREFIX="$dir"
mkdir -p "$(dirname "$dir")"
loader="$(wine_loader "$arch")"
server="$(wine_server)"

if [ "$action" != stop ] && [ "$arch" = win32 ] && ! can_run_32bit; then
    exit 77
fi

create() {
    [ -f "$dir/.ready" ] && return 0
    rm -rf "$dir"
    if [ "$arch" = win32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    timeout -k 5 600 "$loader" wineboot -i >"$dir.log" 2>&1 </dev/null
    timeout -k 5 120 "$loader" winecfg -v "$version" >>"$dir.log" 2>&1 </dev/null
    # The user's folders are links to the Unix home; a test prefix gets its own.
    for folder in "$dir"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos}; do
        if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
    done
    timeout -k 5 60 "$server" -k >/dev/null 2>&1 || true
    touch "$dir/.ready"
}

case "$action" in
    create)
        ( flock 9; create ) 9>"$dir.lock"
        ;;
    start)
        ( flock 9; create ) 9>"$dir.lock"
        "$server" -p >/dev/null 2>&1 </dev/null
        timeout -k 5 300 "$loader" wineboot >/dev/null 2>&1 </dev/null
        ;;
    stop)
        timeout -k 5 60 "$server" -k >/dev/null 2>&1 </dev/null || true
        ;;
    *)
        echo "usage: $0 create|start|stop DIR ARCH VERSION" >&2
        exit 2
        ;;
esac
