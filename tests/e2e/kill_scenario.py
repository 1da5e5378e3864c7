#!/usr/bin/python3
"""A launcher run ended from outside at one moment after another: for each
moment, in a fresh copy of a booted prefix with driver settings seeded, a
Windows-side probe starts the launcher and ends it with TerminateProcess when
the moment comes; then a second, plain run in the same prefix must install
the package with exit code 0, leave the settings key exactly as it was
before the first run and no settings backup. What each kill left behind is
printed, one line per moment.

Exits 0 when every expectation holds, 1 otherwise, 77 when this machine
cannot run the (32-bit) launcher at all.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenario  # noqa: E402

LAUNCHER_FOLDER = "users/Public/Downloads"
PACKAGE_FOLDER = "ProgramData/Kesmora/Installers/TAVRIN"


def settings_now(args, prefix, drive, name):
    """The drivers key as the registry exports it, by key below it."""
    scenario.wine(prefix, args.arch, "reg", "export", scenario.DRIVERS_KEY, "C:\\StandIn\\%s.reg" % name, "/y",
                  scenario.registry_view(args))
    return scenario.parse_reg(os.path.join(drive, "StandIn", name + ".reg"))


def staging_folders(drive):
    return {os.path.join(temp, entry) for temp in scenario.temp_folders(drive) for entry in os.listdir(temp)
            if scenario.GUID_FOLDER.match(entry)}


def run_probe(args, prefix, drive, probe, *arguments):
    subprocess.run([os.path.join(scenario.SUPPORT, "run-in-prefix.sh"), prefix, args.arch,
                    os.path.join(drive, "probe", probe), "C:\\probe\\command.txt"] + list(arguments),
                   capture_output=True, timeout=900)


def leftovers(drive, before, package_size):
    """What the killed run left: staging folders with their files, the
    package file and how much of it was written."""
    parts = []
    for folder in sorted(staging_folders(drive) - before):
        parts.append("staging folder with %s" % (", ".join(sorted(os.listdir(folder))) or "nothing"))
    package = scenario.package_path(drive)
    if os.path.exists(package):
        size = os.path.getsize(package)
        parts.append("package file %s" % ("complete" if size == package_size else "%d of %d bytes" % (size, package_size)))
    return parts


def kill_at(args, moment, delay, package_size):
    """One kill and the plain run after it; returns the failures."""
    scenario_folder = tempfile.mkdtemp(prefix="launcher-kill.")
    prefix = os.path.join(scenario_folder, "prefix")
    try:
        subprocess.run(["cp", "-a", args.base, prefix], check=True)
        drive = os.path.join(prefix, "drive_c")
        os.makedirs(os.path.join(drive, "StandIn"), exist_ok=True)
        os.makedirs(os.path.join(drive, LAUNCHER_FOLDER), exist_ok=True)
        shutil.copy(args.launcher, os.path.join(drive, LAUNCHER_FOLDER, "InstallerLauncher.exe"))
        os.makedirs(os.path.join(drive, "probe"), exist_ok=True)
        for probe in (args.probe, args.kill_probe):
            shutil.copy(probe, os.path.join(drive, "probe", os.path.basename(probe)))
        with open(os.path.join(drive, "probe", "command.txt"), "w", encoding="utf-8") as f:
            f.write('"C:\\%s\\InstallerLauncher.exe"' % LAUNCHER_FOLDER.replace("/", "\\"))
        scenario.seed_driver_settings(args, prefix, drive)
        before = settings_now(args, prefix, drive, "before")
        folders = staging_folders(drive)

        run_probe(args, prefix, drive, os.path.basename(args.kill_probe), moment, str(delay), "C:\\probe\\kill.txt")
        killed = (scenario.read(os.path.join(drive, "probe", "kill.txt")) or "no result").strip()
        after_kill = settings_now(args, prefix, drive, "after-kill")
        left = leftovers(drive, folders, package_size)
        if scenario.subtree(after_kill, scenario.BACKUP_NAME):
            left.append("settings backup key")
        print("%-32s %-10s left: %s" % ("%s +%d ms" % (moment, delay), killed, "; ".join(left) or "nothing"))

        folders = staging_folders(drive)
        run_probe(args, prefix, drive, os.path.basename(args.probe), "C:\\probe\\exit-code.txt")
        failures = []
        if killed != "killed" and not moment.startswith("after:"):
            failures.append("the launcher was not killed (%s)" % killed)
        exit_code = (scenario.read(os.path.join(drive, "probe", "exit-code.txt")) or "").strip()
        if exit_code != "0":
            failures.append("the run after the kill exited with %s" % (exit_code or "nothing"))
        marker = scenario.read(os.path.join(drive, "Program Files", "Kesmora", "TAVRIN", "DriverPackage.txt")) or \
            scenario.read(os.path.join(drive, "Program Files (x86)", "Kesmora", "TAVRIN", "DriverPackage.txt"))
        if (marker or "").strip() != args.expect_installed:
            failures.append("installed %s, expected %s" % ((marker or "nothing").strip(), args.expect_installed))
        after = settings_now(args, prefix, drive, "after")
        if scenario.subtree(after, scenario.SETTINGS_NAME) != scenario.subtree(before, scenario.SETTINGS_NAME):
            failures.append("the settings key differs from before the first run")
        if scenario.subtree(after, scenario.BACKUP_NAME):
            failures.append("a settings backup key remains")
        if staging_folders(drive) - folders:
            failures.append("the run after the kill left a staging folder")
        return ["%s +%d ms: %s" % (moment, delay, failure) for failure in failures]
    finally:
        env = dict(os.environ, WINEPREFIX=prefix)
        subprocess.run(["/usr/lib/wine/wineserver64", "-k"], env=env, capture_output=True)
        shutil.rmtree(scenario_folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--base", required=True, help="booted prefix to copy, made when missing")
    parser.add_argument("--arch", default="win64")
    parser.add_argument("--version", default="win10")
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--probe", required=True, help="LaunchProbe.exe, for the run after the kill")
    parser.add_argument("--kill-probe", required=True)
    parser.add_argument("--driver-settings", required=True, help=".reg file of driver settings to seed")
    parser.add_argument("--package", required=True, help="the package file the launcher writes, for its size")
    parser.add_argument("--expect-installed", required=True, help="package marker after the run after the kill")
    parser.add_argument("--kill-at", action="append", default=[], help="MOMENT@DELAY-MS, see KillProbe.cpp")
    args = parser.parse_args()
    args.base = os.path.abspath(args.base)
    if scenario.is_32bit_program(args.launcher) and not scenario.can_run_32bit():
        print("skipped: this machine cannot execute 32-bit x86 code, so the launcher cannot run under Wine here")
        return 77
    subprocess.run([os.path.join(scenario.SUPPORT, "wine-prefix.sh"), "create", args.base, args.arch, args.version],
                   check=True)
    failures = []
    for point in args.kill_at:
        moment, _, delay = point.rpartition("@")
        failures += kill_at(args, moment, int(delay), os.path.getsize(args.package))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
