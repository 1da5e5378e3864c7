#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. Run as root (or with sudo available).
#
# A mirror that is being synchronised can serve one index (often the i386
# security one) with the wrong size for a while. That alone must not stop a
# new user or CI: the update is retried, a partial update is accepted as long
# as the install still resolves, and an install that does not resolve is tried
# again with the release's own suite as target. Only packages that cannot be
# installed at all end the script, with apt's own reason.
set -euo pipefail

packages=(
    cmake clang libclang-rt-14-dev googletest
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools
    wine wine32:i386 wine64
    wixl msitools python3-pefile osslsigncode openssl
    xvfb xdotool imagemagick
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
log=$(mktemp)
trap 'rm -f "$log"' EXIT

update_indexes() {
    local attempt
    for attempt in 1 2 3; do
        if $sudo apt-get update -qq >"$log" 2>&1 && ! grep -q '^E:' "$log"; then
            return 0
        fi
        echo "apt-get update, attempt $attempt: some index files failed:" >&2
        grep -E '^(E|W):' "$log" | head -5 >&2 || true
        [ "$attempt" -lt 3 ] && sleep $((attempt * 5))
    done
    echo "Going on with the indexes apt has; the install below says whether they are enough." >&2
}

install_packages() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" \
        >"$log" 2>&1
}

release_suite() {
    . /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}"
}

echo "Installing: ${missing[*]}"
$sudo dpkg --add-architecture i386
update_indexes
if install_packages "${missing[@]}"; then
    exit 0
fi
suite=$(release_suite)
if [ -n "$suite" ]; then
    echo "The install did not resolve; trying again with the suite $suite as target." >&2
    if install_packages -t "$suite" "${missing[@]}"; then
        exit 0
    fi
fi
echo "setup: these packages could not be installed: ${missing[*]}" >&2
echo "setup: apt-get said:" >&2
grep -E '^(E|W):|Depends:|Unable|unmet' "$log" >&2 || tail -20 "$log" >&2
exit 1
