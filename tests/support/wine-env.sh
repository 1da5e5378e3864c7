# Sourced by the Wine helpers: quiet Wine, and the loader for a prefix's kind.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Whether this machine can execute 32-bit x86 code at all; some virtual
# machines' kernels cannot, and then no 32-bit Windows program runs under Wine.
can_run_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The loader for a prefix of this architecture (win32 or win64). The plain
# "wine" script prefers the 32-bit loader, which a 64-bit prefix does not need.
wine_loader() {
    if [ "$1" = win32 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

wine_server() {
    if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo wineserver; fi
}
