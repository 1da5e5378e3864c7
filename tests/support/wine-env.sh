# Sourced by the Wine helpers: quiet Wine, and the loader for a prefix's kind.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Whether 32-bit Windows programs run here (probe32.py): 0 when they do, 77
# (after saying so) when the kernel cannot execute 32-bit x86 code at all. When
# the kernel can and they do not (wine32 missing or broken), it ends the caller
# with 1: that must fail, never pass as a skip.
can_run_32bit() {
    local status=0
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/probe32.py" || status=$?
    if [ $status != 0 ] && [ $status != 77 ]; then exit 1; fi
    return $status
}

# The loader for a prefix of this architecture (win32 or win64). The plain
# "wine" script prefers the 32-bit loader, which a 64-bit prefix does not need.
wine_loader() {
    if [ "$1" = win32 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

wine_server() {
    if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo wineserver; fi
}
