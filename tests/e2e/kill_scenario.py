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
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenario  # noqa: E402

LAUNCHER_FOLDER = "users/Public/Downloads"
PACKAGE_FOLDER = "ProgramData/Kesmora/Installers/TAVRIN"


def settings_now(args, prefix, drive, name):
    """The drivers key as the registry exports it, by key below it. An export
    that fails (Wine's reg can, right after a process was killed) is asked
    again rather than read as a key that is gone."""
    for _ in range(3):
        if scenario.wine(prefix, args.arch, "reg", "export", scenario.DRIVERS_KEY, "C:\\StandIn\\%s.reg" % name,
                         "/y", scenario.registry_view(args)) == 0:
            break
        time.sleep(1)
    return scenario.parse_reg(os.path.join(drive, "StandIn", name + ".reg"))


def staging_folders(drive):
    return {os.path.join(temp, entry) for temp in scenario.staging_roots(drive) for entry in os.listdir(temp)
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


def put_launcher_and_probes(args, drive):
    os.makedirs(os.path.join(drive, LAUNCHER_FOLDER), exist_ok=True)
    shutil.copy(args.launcher, os.path.join(drive, LAUNCHER_FOLDER, "InstallerLauncher.exe"))
    os.makedirs(os.path.join(drive, "probe"), exist_ok=True)
    for probe in (args.probe, args.kill_probe):
        shutil.copy(probe, os.path.join(drive, "probe", os.path.basename(probe)))
    with open(os.path.join(drive, "probe", "command.txt"), "w", encoding="utf-8") as f:
        f.write('"C:\\%s\\InstallerLauncher.exe"' % LAUNCHER_FOLDER.replace("/", "\\"))


def kill(args, prefix, drive, moment, delay, package_size):
    """The run ended at the moment; prints what it left and returns how the
    probe saw it end (see KillProbe.cpp) and the last line of its log."""
    folders = staging_folders(drive)
    started = time.time()
    run_probe(args, prefix, drive, os.path.basename(args.kill_probe), moment, str(delay), "C:\\probe\\kill.txt")
    seconds = time.time() - started
    killed = (scenario.read(os.path.join(drive, "probe", "kill.txt")) or "no result").strip()
    left = leftovers(drive, folders, package_size)
    logs = scenario.launcher_logs(drive)
    last = ((scenario.read(logs[-1]) or "").splitlines() or [""])[-1] if logs else ""
    if scenario.subtree(settings_now(args, prefix, drive, "after-kill"), scenario.BACKUP_NAME):
        left.append("settings backup key")
    print("%-32s %-18s %3.0f s  left: %s" % ("%s +%d ms" % (moment, delay), killed, seconds,
                                          "; ".join(left) or "nothing"))
    print("    its log ends: %s" % (last or "(no log)"))
    return killed, last


def check_run_after(args, prefix, drive, before):
    """The plain run after the kill installs, keeps the settings as they were
    before the first run and leaves no backup key or staging folder."""
    folders = staging_folders(drive)
    run_probe(args, prefix, drive, os.path.basename(args.probe), "C:\\probe\\exit-code.txt")
    failures = []
    exit_code = (scenario.read(os.path.join(drive, "probe", "exit-code.txt")) or "").strip()
    if exit_code != "0":
        failures.append("the run after the kill exited with %s" % (exit_code or "nothing"))
    marker = [scenario.read(os.path.join(drive, folder, "Kesmora", "TAVRIN", "DriverPackage.txt"))
              for folder in ("Program Files", "Program Files (x86)")]
    installed = "".join(text.strip() for text in marker if text)
    if installed != args.expect_installed:
        failures.append("installed %s, expected %s" % (installed or "nothing", args.expect_installed))
    after = settings_now(args, prefix, drive, "after")
    settings_before = scenario.subtree(before, scenario.SETTINGS_NAME)
    settings_after = scenario.subtree(after, scenario.SETTINGS_NAME)
    if settings_after != settings_before:
        failures.append("the settings key differs from before the first run: %s, was %s" %
                        (sorted(settings_after.items()), sorted(settings_before.items())))
    if scenario.subtree(after, scenario.BACKUP_NAME):
        failures.append("a settings backup key remains")
    if staging_folders(drive) - folders:
        failures.append("the run after the kill left a staging folder")
    return failures


def kill_at(args, moment, delay, package_size):
    """One kill and the plain run after it, in a prefix of their own; returns
    the failures."""
    with scenario.fresh_prefix(args.base) as (prefix, drive):
        put_launcher_and_probes(args, drive)
        scenario.seed_driver_settings(args, prefix, drive)
        before = settings_now(args, prefix, drive, "before")
        killed, last_logged = kill(args, prefix, drive, moment, delay, package_size)
        failures = check_run_after(args, prefix, drive, before)
        # The launcher may end on its own before the end of Windows Installer
        # is noticed; every other moment comes while it runs.
        if not killed.startswith("killed") and moment != "after:msiexec.exe":
            failures.append("the launcher was not killed (%s)" % killed)
        # The line that starts Windows Installer is written before it starts.
        if moment == "process:msiexec.exe" and not ("started" in last_logged and "msiexec.exe" in last_logged):
            failures.append("the killed run's log does not end with Windows Installer's start")
        return ["%s +%d ms: %s" % (moment, delay, failure) for failure in failures]


def main():
    parser = argparse.ArgumentParser()
    scenario.add_prefix_and_launcher_arguments(parser)
    parser.add_argument("--probe", required=True, help="LaunchProbe.exe, for the run after the kill")
    parser.add_argument("--kill-probe", required=True)
    parser.add_argument("--driver-settings", required=True, help=".reg file of driver settings to seed")
    parser.add_argument("--package", required=True, help="the package file the launcher writes, for its size")
    parser.add_argument("--expect-installed", required=True, help="package marker after the run after the kill")
    parser.add_argument("--kill-at", action="append", default=[], help="MOMENT@DELAY-MS, see KillProbe.cpp")
    args = parser.parse_args()
    args.base = os.path.abspath(args.base)
    skipped = scenario.make_base(args)
    if skipped:
        return skipped
    failures = []
    for point in args.kill_at:
        moment, _, delay = point.rpartition("@")
        failures += kill_at(args, moment, int(delay), os.path.getsize(args.package))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
