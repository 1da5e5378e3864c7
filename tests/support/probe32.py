#!/usr/bin/python3
"""Whether this machine runs 32-bit Windows programs under Wine, the one
probe every script that runs one asks.

Exits 0 when a tiny PE32 program (Probe32.c, built with the i686 MinGW
compiler) ran and ended with its own code; 77 (skipped), saying why, when the
kernel cannot execute 32-bit x86 code at all, as some virtual machines'
cannot; and 1 when the kernel can but the program did not run: wine32 missing
or broken must fail, never pass as a skip.
"""
import errno
import fcntl
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CACHE = os.path.join(HERE, "..", "..", "build", "probe32")
LOADER = "/usr/lib/wine/wine"
PROBE_EXIT_CODE = 32
SKIPPED = 77
UNABLE = "skipped: this machine's kernel cannot execute 32-bit x86 code, so no 32-bit Windows program runs here"


def tiny_i386_elf():
    """A static 32-bit x86 Linux program of one segment that exits 0."""
    base = 0x08048000
    code = bytes.fromhex("b801000000" "31db" "cd80")  # exit(0) through int 0x80
    size = 52 + 32 + len(code)
    header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack(
        "<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
    segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
    return header + segment + code


def kernel_runs_32bit():
    """Executes the tiny 32-bit program: a kernel without 32-bit support
    refuses it with ENOEXEC, whatever Wine packages are installed."""
    with tempfile.TemporaryDirectory(prefix="probe32.") as folder:
        program = os.path.join(folder, "exit0")
        with open(program, "wb") as f:
            f.write(tiny_i386_elf())
        os.chmod(program, 0o755)
        try:
            return subprocess.run([program]).returncode == 0
        except OSError as error:
            if error.errno == errno.ENOEXEC:
                return False
            raise


def loader_identity():
    status = os.stat(LOADER)
    return "%s %d %d\n" % (LOADER, status.st_size, int(status.st_mtime))


def run_probe_program():
    """Builds the PE32 program and runs it in a 32-bit prefix of its own.
    Returns None when it ended with its own code, else what went wrong."""
    os.makedirs(CACHE, exist_ok=True)
    program = os.path.join(CACHE, "probe32.exe")
    if not os.path.exists(program):
        subprocess.run(["i686-w64-mingw32-gcc", "-Os", "-s", "-o", program, os.path.join(HERE, "Probe32.c")],
                       check=True)
    if not os.path.exists(LOADER):
        return "%s is missing (the wine32:i386 package)" % LOADER
    env = dict(os.environ, WINEPREFIX=os.path.join(CACHE, "prefix"), WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    with open(os.path.join(CACHE, "wine.log"), "w") as log:
        code = subprocess.run(["timeout", "-k", "5", "300", LOADER, program], env=env, stdin=subprocess.DEVNULL,
                              stdout=log, stderr=log).returncode
    if code != PROBE_EXIT_CODE:
        return "%s %s ended with %d, not %d (its output: %s)" % (LOADER, program, code, PROBE_EXIT_CODE, log.name)
    return None


def probe():
    """(exit code, message) as the module's description says."""
    if not kernel_runs_32bit():
        return SKIPPED, UNABLE
    # The result holds for as long as the loader is the same file; the
    # prefix is made once, and one probe at a time makes it.
    os.makedirs(CACHE, exist_ok=True)
    with open(os.path.join(CACHE, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        ran = os.path.join(CACHE, "ran")
        identity = loader_identity() if os.path.exists(LOADER) else ""
        if identity and os.path.exists(ran) and open(ran).read() == identity:
            return 0, ""
        problem = run_probe_program()
        if problem:
            return 1, ("FAILED: this machine executes 32-bit x86 code, but a 32-bit Windows program does not run"
                       " under Wine: %s; install wine32:i386 (scripts/setup.sh)" % problem)
        with open(ran, "w") as f:
            f.write(identity)
    return 0, ""


def main():
    code, message = probe()
    if message:
        print(message)
    return code


if __name__ == "__main__":
    sys.exit(main())
