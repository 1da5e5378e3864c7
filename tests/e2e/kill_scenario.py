#!/usr/bin/python3
"""A launcher run ended from outside at one moment after another: for each
moment, in a fresh copy of a booted prefix with driver settings seeded, a
Windows-side probe starts the launcher and ends it with TerminateProcess when
the moment comes; then a second, plain run in the same prefix must install
the package with exit code 0, leave the settings key exactly as it was
before the first run and no settings backup. What each kill left behind is
printed, one line per moment.

With --at-every-call the launcher is the build that ends itself just before
its N-th call that changes the machine (KilledAtCallEntryPoint.cpp), so each
kill lands before a change, never inside one. On the machine every mechanism
is at work: a process to end, earlier products to remove, a running service,
driver settings and a product folder a user made, which is moved aside. An
unfailed run lists the calls, the step each comes in and what each acts on;
the run is killed before the first call of each kind on each thing in each
step (each prerequisite, each earlier product, each level of the package
folder), before the last one as well in the steps that build or take apart a
tree call by call, and before the first write to the log in each step. After
each kill the plain run must also leave the earlier products removed, the
process ended, the service told and the user's files intact; a backup copied
in part, a release half done, a package file shorter than the payload and a
half-emptied staging folder must each have been left by some kill.

Exits 0 when every expectation holds, 1 otherwise, 77 when this machine's
kernel cannot run the (32-bit) launcher at all (probe32.py).
"""
import argparse
import glob
import ntpath
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenario  # noqa: E402

LAUNCHER_FOLDER = "users/Public/Downloads"
# The exit code of a run KilledAtCallEntryPoint.cpp ended: ERROR_PROCESS_ABORTED.
KILLED_AT_CALL = "1067"
STEP_STARTED = re.compile(r".* step (\w+) started$")
# The run's own folders and files are named by GUIDs of their own; products
# by their product codes, which removals name.
GUID = re.compile(r"\{?[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\}?", re.I)
PRODUCT_CODE = re.compile(r"\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}", re.I)
# How the log tells a program Wine could not start: its CreateProcessW fails
# with ERROR_INTERNAL_ERROR when the new process dies before it has started
# (STATUS_INTERNAL_ERROR in NtCreateUserProcess), as under a load that starves
# it. The run then ends as a failed prerequisite before its kill comes.
PROGRAM_NOT_STARTED = "could not be started (1359)"
TREE_STEPS = ("BackupDriverSettings", "ReleaseDriverSettingsBackup", "RemoveStagingDirectory")
HALF_DONE = ("a backup with fewer keys than the settings", "a release half done",
             "a package file shorter than the payload", "a half-emptied staging folder")


def settings_now(args, prefix, drive, name):
    """The drivers key as the registry exports it, by key below it. An export
    that fails (Wine's reg can, right after a process was killed) is asked
    again, never read as a key that is gone: that would compare nothing."""
    for _ in range(3):
        if scenario.wine(prefix, args.arch, "reg", "export", scenario.VALUES.drivers_key,
                         "C:\\StandIn\\%s.reg" % name, "/y", scenario.registry_view(args)) == 0:
            return scenario.parse_reg(os.path.join(drive, "StandIn", name + ".reg"))
        time.sleep(1)
    raise RuntimeError("reg export of the drivers key (%s) failed three times" % name)


def seeded_settings(args, prefix, drive):
    """The driver settings seeded and the drivers key with them, which must
    hold them: settings missing on both sides of a comparison would pass."""
    scenario.seed_driver_settings(args, prefix, drive)
    before = settings_now(args, prefix, drive, "before")
    seeded = scenario.parse_reg(os.path.join(drive, "StandIn", "settings.reg"))
    settings = scenario.subtree(before, scenario.VALUES.settings_name)
    if not settings or settings != scenario.subtree(seeded, scenario.VALUES.settings_name):
        raise RuntimeError("the drivers key does not hold the seeded settings: %s" % sorted(before.items()))
    return before


def staging_folders(drive):
    return {os.path.join(temp, entry) for temp in scenario.staging_roots(drive) for entry in os.listdir(temp)
            if scenario.GUID_FOLDER.match(entry)}


def run_probe(args, prefix, drive, probe, *arguments, env=None):
    subprocess.run([os.path.join(scenario.SUPPORT, "run-in-prefix.sh"), prefix, args.arch,
                    os.path.join(drive, "probe", probe), "C:\\probe\\command.txt"] + list(arguments),
                   capture_output=True, timeout=900, env=env)


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
    for probe in filter(None, (args.probe, args.kill_probe)):
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
    if scenario.subtree(settings_now(args, prefix, drive, "after-kill"), scenario.VALUES.backup_name):
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
    installed = "".join(scenario.installed_markers(drive))
    if installed != args.expect_installed:
        failures.append("installed %s, expected %s" % (installed or "nothing", args.expect_installed))
    after = settings_now(args, prefix, drive, "after")
    settings_before = scenario.subtree(before, scenario.VALUES.settings_name)
    settings_after = scenario.subtree(after, scenario.VALUES.settings_name)
    if settings_after != settings_before:
        failures.append("the settings key differs from before the first run: %s, was %s" %
                        (sorted(settings_after.items()), sorted(settings_before.items())))
    if scenario.subtree(after, scenario.VALUES.backup_name):
        failures.append("a settings backup key remains")
    if staging_folders(drive) - folders:
        failures.append("the run after the kill left a staging folder")
    return failures


def kill_at(args, moment, delay, package_size):
    """One kill and the plain run after it, in a prefix of their own; returns
    the failures."""
    with scenario.fresh_prefix(args.base) as (prefix, drive):
        put_launcher_and_probes(args, drive)
        before = seeded_settings(args, prefix, drive)
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


def traced_calls(drive):
    """The calls the last run counted, in order, as (step, name, kind): the
    step its log last said started, and the kind of call, with what it acts
    on (the file or folder by its name, a removal by its product), writes to
    the log told apart from other writes."""
    try:
        with open(os.path.join(drive, "probe", "calls.txt"), "rb") as f:
            lines = f.read().decode("utf-16-le").splitlines()
    except OSError:
        return []
    calls, step = [], "Start"
    for line in lines:
        name, _, detail = line.split(" ", 1)[-1].partition(" ")
        acted_on, _, text = detail.partition("\t")
        logged = acted_on.endswith(".log")
        started = STEP_STARTED.match(text) if logged else None
        step = started.group(1) if started else step
        code = PRODUCT_CODE.search(text) if name == "CreateProcessW" else None
        subject = "the log" if logged else code.group(0) if code else GUID.sub("*", ntpath.basename(acted_on))
        calls.append((step, name, "%s %s" % (name, subject)))
    return calls


def kill_points(calls):
    """In each step the first call on each thing and the first of each call,
    and the last of each call as well in the steps that build or take apart
    a tree call by call, so that each is killed half done; and the first, a
    middle and the last write to the log."""
    numbers, logged = {}, []
    for number, (step, name, kind) in enumerate(calls, 1):
        if kind == "WriteFile the log":
            logged.append(number)
            continue
        for key in ((step, "on", kind[len(name):]), (step, "call", name)):
            numbers.setdefault(key, []).append(number)
    points = {logged[0], logged[len(logged) // 2], logged[-1]} if logged else set()
    for (step, by, _), found in numbers.items():
        points |= {found[0], found[-1]} if step in TREE_STEPS and by == "call" else {found[0]}
    return sorted(points)


def start_mechanisms(args, prefix, drive):
    """The running service and the process to end, which a copied prefix
    lacks; returns the processes started."""
    scenario.wine(prefix, args.arch, "sc", "start", scenario.VALUES.service_name)
    return scenario.start_processes(args, prefix, drive)


def notices(drive):
    return len((scenario.read(os.path.join(drive, "StandIn", "service-journal.txt")) or "").splitlines())


def check_preparation_redone(args, drive, processes, noticed):
    """After the run after the kill the earlier products are gone, the
    listed processes have ended, the service was told once more and the
    user's files are intact: the preparation the kill cut short was done
    again."""
    found = ["%s remains" % os.path.relpath(path, drive) for path in
             glob.glob(os.path.join(drive, "Program Files*", scenario.VALUES.stand_in_folder, "EarlierProduct*"))]
    found += ["%s still runs" % name for name, started in processes.items()
              if any(process.poll() is None for process in started)]
    if notices(drive) <= noticed:
        found.append("the service was not told")
    return found + (scenario.check_user_product_folder(args, drive) if args.user_product_folder else [])


def run_counted(args, prefix, drive, kill_at):
    """One run of the killed-at-call launcher, killed at call kill_at (0:
    never); returns its exit code, the calls it counted and the processes
    started for it to end."""
    processes = start_mechanisms(args, prefix, drive)
    env = dict(os.environ, LAUNCHER_CALL_TRACE="C:\\probe\\calls.txt", LAUNCHER_KILL_AT_CALL=str(kill_at))
    run_probe(args, prefix, drive, os.path.basename(args.probe), "C:\\probe\\exit-code.txt", env=env)
    exit_code = (scenario.read(os.path.join(drive, "probe", "exit-code.txt")) or "").strip()
    return exit_code, traced_calls(drive), processes


def program_not_started(drive):
    return any(PROGRAM_NOT_STARTED in (scenario.read(log) or "") for log in scenario.launcher_logs(drive))


def half_done(args, prefix, drive, step, before, package_size, staged):
    """What the run killed in this step left, which of HALF_DONE it is, and
    how many entries its staging folder held; staged is the most any earlier
    kill's staging folder held."""
    left = leftovers(drive, set(), package_size)
    backup = scenario.subtree(settings_now(args, prefix, drive, "after-kill"), scenario.VALUES.backup_name)
    settings = scenario.subtree(before, scenario.VALUES.settings_name)
    if backup:
        left.append("settings backup of %d of %d keys" % (len(backup), len(settings)))
    package = scenario.package_path(drive)
    partial = 0 < len(backup) < len(settings)
    entries = [len(os.listdir(folder)) for folder in staging_folders(drive)]
    windows = {HALF_DONE[0]: step == TREE_STEPS[0] and partial,
               HALF_DONE[1]: step == TREE_STEPS[1] and partial,
               HALF_DONE[2]: os.path.exists(package) and os.path.getsize(package) < package_size,
               HALF_DONE[3]: step == TREE_STEPS[2] and bool(entries) and max(entries) < staged}
    return left, {window for window, hit in windows.items() if hit}, max(entries, default=0)


def kill_before(args, prepared, calls, number, before, staged):
    """The run killed before call number and the plain run after it, in a
    copy of the prepared prefix: returns the failures, the HALF_DONE windows
    the kill left and its staging folder's entries, or None when Wine could
    not start a program of the run before its kill came."""
    step, name, kind = calls[number - 1]
    with scenario.fresh_prefix(prepared) as (prefix, drive):
        exit_code, reached, processes = run_counted(args, prefix, drive, number)
        if exit_code != KILLED_AT_CALL and program_not_started(drive):
            return None
        left, windows, entries = half_done(args, prefix, drive, step, before, os.path.getsize(args.package), staged)
        print("%4d %-28s %-34s left: %s" % (number, step, kind, "; ".join(left) or "nothing"))
        noticed = notices(drive)
        found = check_run_after(args, prefix, drive, before) + check_preparation_redone(args, drive, processes, noticed)
        if exit_code != KILLED_AT_CALL or reached != calls[:number]:
            found.append("the run was not killed there (exit code %s)" % exit_code)
        return ["killed at call %d, %s in %s: %s" % (number, name, step, f) for f in found], windows, entries


def at_every_call(args):
    """Kills at the kill points of an unfailed run's calls, each in a copy of
    one prepared prefix; returns the failures."""
    with scenario.fresh_prefix(args.base) as (prepared, drive):
        put_launcher_and_probes(args, drive)
        scenario.install_earlier_products(args, prepared, drive)
        scenario.install_service(args, prepared, drive)
        before = seeded_settings(args, prepared, drive)
        scenario.make_user_product_folder(args, drive)
        scenario.end_server(prepared)
        with scenario.fresh_prefix(prepared) as (prefix, drive):
            exit_code, calls, _ = run_counted(args, prefix, drive, 0)
        if exit_code != "0" or not calls:
            return ["the unfailed run exited with %s after %d counted calls" % (exit_code or "nothing", len(calls))]
        points = kill_points(calls)
        print("%d counted calls, killed at %d of them" % (len(calls), len(points)))
        failures, hit, staged = [], set(), 0
        for number in points:
            outcome = kill_before(args, prepared, calls, number, before, staged)
            if outcome is None:
                print("%4d Wine could not start a program before the kill: killed there once more" % number)
                outcome = kill_before(args, prepared, calls, number, before, staged) or \
                    (["killed at call %d: Wine could not start a program, twice" % number], set(), 0)
            failures += outcome[0]
            hit, staged = hit | outcome[1], max(staged, outcome[2])
        return failures + ["no kill left %s" % window for window in HALF_DONE if window not in hit]


def main():
    parser = argparse.ArgumentParser()
    scenario.add_prefix_and_launcher_arguments(parser)
    parser.add_argument("--probe", required=True, help="LaunchProbe.exe, for the run after the kill")
    parser.add_argument("--kill-probe")
    parser.add_argument("--driver-settings", required=True, help=".reg file of driver settings to seed")
    parser.add_argument("--package", required=True, help="the package file the launcher writes, for its size")
    parser.add_argument("--expect-installed", required=True, help="package marker after the run after the kill")
    parser.add_argument("--kill-at", action="append", default=[], help="MOMENT@DELAY-MS, see KillProbe.cpp")
    parser.add_argument("--at-every-call", action="store_true", help="the launcher is the killed-at-call build")
    parser.add_argument("--preinstall", action="append", default=[], help="earlier product, with --at-every-call")
    parser.add_argument("--service", help="stand-in device-monitor service, with --at-every-call")
    parser.add_argument("--waiting-program", help="stand-in program run under the --start-process names")
    parser.add_argument("--start-process", action="append", default=[])
    parser.add_argument("--user-product-folder", help="a user's package, in the product folder they made first")
    args = scenario.parse_arguments(parser)
    skipped = scenario.make_base(args)
    if skipped:
        return skipped
    failures = at_every_call(args) if args.at_every_call else []
    for point in args.kill_at:
        moment, _, delay = point.rpartition("@")
        failures += kill_at(args, moment, int(delay), os.path.getsize(args.package))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
