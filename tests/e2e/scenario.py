#!/usr/bin/python3
"""One end-to-end scenario: runs a launcher build in a fresh copy of a booted
prefix, the way an administrator would run it, and checks what that leaves:
the full exit code, the stand-ins' journal, the installed package, the
package file, staging folders, and the lines on standard output.

Exits 0 when every expectation holds, 1 otherwise, 77 when this machine
cannot run the (32-bit) launcher at all.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SUPPORT = os.path.join(HERE, "..", "support")
GUID_FOLDER = re.compile(r"^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$", re.I)


def is_32bit_program(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = int.from_bytes(data[60:64], "little")
    return data[pe + 4:pe + 6] == b"\x4c\x01"


def can_run_32bit():
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
    except OSError:
        return False


def run(args):
    if is_32bit_program(args.launcher) and not can_run_32bit():
        print("skipped: this machine cannot execute 32-bit x86 code, so the launcher cannot run under Wine here")
        return 77
    subprocess.run([os.path.join(SUPPORT, "wine-prefix.sh"), "create", args.base, args.arch, args.version],
                   check=True)
    scenario = tempfile.mkdtemp(prefix="launcher-scenario.")
    prefix = os.path.join(scenario, "prefix")
    try:
        # A plain copy: hard links would let the scenario write through into the base.
        subprocess.run(["cp", "-a", args.base, prefix], check=True)
        drive = os.path.join(prefix, "drive_c")
        return check(args, prefix, drive, launch(args, prefix, drive))
    finally:
        env = dict(os.environ, WINEPREFIX=prefix)
        subprocess.run(["/usr/lib/wine/wineserver64", "-k"], env=env, capture_output=True)
        shutil.rmtree(scenario, ignore_errors=True)


def launch(args, prefix, drive):
    folder = os.path.join(drive, args.folder)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(args.launcher, os.path.join(folder, "InstallerLauncher.exe"))
    os.makedirs(os.path.join(drive, "probe"), exist_ok=True)
    shutil.copy(args.probe, os.path.join(drive, "probe", "LaunchProbe.exe"))
    standin = os.path.join(drive, "StandIn")
    os.makedirs(standin, exist_ok=True)
    with open(os.path.join(standin, "exit-codes.txt"), "w") as f:
        f.write("".join(line + "\n" for line in args.exit_code))
    windows_folder = "C:\\" + args.folder.replace("/", "\\")
    command = '"%s\\InstallerLauncher.exe"%s' % (windows_folder, (" " + args.arguments) if args.arguments else "")
    with open(os.path.join(drive, "probe", "command.txt"), "w", encoding="utf-8") as f:
        f.write(command)
    result = subprocess.run(
        [os.path.join(SUPPORT, "run-in-prefix.sh"), prefix, args.arch, os.path.join(drive, "probe", "LaunchProbe.exe"),
         "C:\\probe\\command.txt", "C:\\probe\\exit-code.txt"],
        capture_output=True, text=True, errors="replace")
    return result.stdout


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return None


def check(args, prefix, drive, stdout):
    failures = []
    exit_code = (read(os.path.join(drive, "probe", "exit-code.txt")) or "").strip()
    journal = read(os.path.join(drive, "StandIn", "journal.txt")) or ""
    runs = [line.split("\t") for line in journal.splitlines()]
    installed = [name for name in ("Program Files", "Program Files (x86)")
                 if read(os.path.join(drive, name, "Kesmora", "TAVRIN", "DriverPackage.txt"))]
    markers = [read(os.path.join(drive, name, "Kesmora", "TAVRIN", "DriverPackage.txt")).strip() for name in installed]
    package = os.path.join(drive, "ProgramData", "Kesmora", "Installers", "TAVRIN", "KesmoraInstaller.msi")
    temps = [os.path.join(drive, "users", user, "Temp") for user in os.listdir(os.path.join(drive, "users"))]
    staging = [entry for temp in temps if os.path.isdir(temp) for entry in os.listdir(temp) if GUID_FOLDER.match(entry)]

    print("exit code: %s" % exit_code)
    print("programs run (file, parameters, working folder):")
    for fields in runs:
        print("  " + " | ".join(fields))
    print("package installed: %s" % (", ".join(markers) or "none"))
    print("package file kept: %s" % ("yes" if os.path.exists(package) else "no"))
    print("staging folders left: %s" % (", ".join(staging) or "none"))
    print("standard output:")
    print("".join("  " + line + "\n" for line in stdout.splitlines()), end="")

    if args.expect_exit is not None and exit_code != str(args.expect_exit):
        failures.append("exit code %s, expected %s" % (exit_code, args.expect_exit))
    expected_runs = [tuple(r.split("|")) for r in args.expect_run]
    if args.expect_run or args.expect_no_runs:
        if [tuple(f[:2]) for f in runs] != expected_runs:
            failures.append("programs run %s, expected %s" % ([tuple(f[:2]) for f in runs], expected_runs))
    if args.expect_installed is not None and markers != ([args.expect_installed] if args.expect_installed else []):
        failures.append("installed %s, expected %s" % (markers, args.expect_installed or "nothing"))
    if args.expect_package_file and not os.path.exists(package):
        failures.append("package file missing")
    if staging:
        failures.append("staging folders left: %s" % staging)
    for pattern in args.expect_stdout:
        if not re.search(pattern, stdout):
            failures.append("standard output lacks %r" % pattern)
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--base", required=True, help="booted prefix to copy, made when missing")
    parser.add_argument("--arch", default="win64")
    parser.add_argument("--version", default="win10")
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--folder", default="users/Public/Downloads", help="where the launcher is run from")
    parser.add_argument("--arguments", default="")
    parser.add_argument("--exit-code", action="append", default=[], help="stand-in NAME=CODE")
    parser.add_argument("--expect-exit", type=int)
    parser.add_argument("--expect-run", action="append", default=[], help="FILE|PARAMETERS, in order")
    parser.add_argument("--expect-no-runs", action="store_true")
    parser.add_argument("--expect-installed", help="package marker, or empty for none")
    parser.add_argument("--expect-package-file", action="store_true")
    parser.add_argument("--expect-stdout", action="append", default=[], help="regular expression")
    args = parser.parse_args()
    args.base = os.path.abspath(args.base)
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
