#!/usr/bin/python3
"""One end-to-end scenario: runs a launcher build in a fresh copy of a booted
prefix, the way an administrator would run it, and checks what that leaves:
the full exit code, the stand-ins' journal, the installed package, the
package file, staging folders, and the lines on standard output.

Exits 0 when every expectation holds, 1 otherwise, 77 when this machine's
kernel cannot run the (32-bit) launcher at all (probe32.py).
"""
import argparse
import contextlib
import filecmp
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SUPPORT = os.path.join(HERE, "..", "support")
sys.path.insert(0, SUPPORT)
import probe32  # noqa: E402
GUID_FOLDER = re.compile(r"^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$", re.I)


def is_32bit_program(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = int.from_bytes(data[60:64], "little")
    return data[pe + 4:pe + 6] == b"\x4c\x01"


def loader(arch):
    return "/usr/lib/wine/wine" if arch == "win32" else "/usr/lib/wine/wine64"


def wine(prefix, arch, *arguments, background=False):
    """Runs a Windows command in the scenario's prefix, output to nowhere:
    a Wine background process that held a pipe would keep this from ending."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    command = [loader(arch)] + list(arguments)
    if background:
        return subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    return subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=600).returncode


def prepare(prefix, arch, failure, *arguments):
    """Runs a command that prepares the machine. A fresh prefix's first Wine
    commands have been seen to fail once in CI; this is not what a scenario
    checks, so a failed one is run once more before the scenario gives up."""
    for _ in range(2):
        if wine(prefix, arch, *arguments) == 0:
            return
    raise RuntimeError(failure)


class TestValues:
    """The shipped product's identity and the test prefixes, as the build
    wrote them (cmake/TestValues.cmake)."""

    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            values = json.load(f)
        identity = values["identity"]
        self.prefixes = values["prefixes"]
        self.drivers_key = "HKEY_LOCAL_MACHINE\\" + identity["DRIVERS_KEY_PATH"]
        self.settings_name = identity["SETTINGS_GUID"]
        self.backup_name = "SettingsBackup_" + self.settings_name
        self.backup_key = self.drivers_key + "\\" + self.backup_name
        # A key of someone else's beside the drivers key.
        self.victim_key = self.drivers_key.rsplit("\\", 1)[0] + "\\Victim"
        self.service_name = identity["DEVICE_MONITOR_SERVICE_NAME"]
        self.package_levels = (identity["VENDOR_FOLDER_NAME"], identity["INSTALLERS_FOLDER_NAME"],
                               identity["PRODUCT_FOLDER_NAME"])
        self.package_file_name = identity["PACKAGE_FILE_NAME"]
        # Where the stand-in packages install, below a Program Files folder.
        self.stand_in_folder = os.path.join(identity["VENDOR_FOLDER_NAME"], identity["PRODUCT_FOLDER_NAME"])


# The build's values, read by parse_arguments.
VALUES = None


def registry_view(args):
    """The view the launcher's own registry keys lie in: a 32-bit launcher on
    64-bit Windows sees the 32-bit one."""
    return "/reg:32" if is_32bit_program(args.launcher) else "/reg:64"


def seed_driver_settings(args, prefix, drive):
    # reg import reads UTF-16 with a byte-order mark, as regedit writes it.
    with open(args.driver_settings, encoding="utf-8") as f:
        text = f.read()
    with open(os.path.join(drive, "StandIn", "settings.reg"), "w", encoding="utf-16") as f:
        f.write(text.replace("\n", "\r\n"))
    prepare(prefix, args.arch, "seeding the driver settings failed",
            "reg", "import", "C:\\StandIn\\settings.reg", registry_view(args))


def observe_drivers_key_during_install(args, prefix, drive):
    """Exports the drivers key while Windows Installer runs, through an
    observer in the prefix that waits for msiexec.exe to start."""
    if not args.observer:
        raise RuntimeError("--driver-settings needs --observer")
    shutil.copy(args.observer, os.path.join(drive, "StandIn", "InstallObserver.exe"))
    wine(prefix, args.arch, "C:\\StandIn\\InstallObserver.exe", "reg", "export", VALUES.drivers_key,
         "C:\\StandIn\\during-install.reg", "/y", registry_view(args), background=True)
    wait_for_file(os.path.join(drive, "StandIn", "observer-ready.txt"), "the install observer did not start")


def wait_for_file(path, failure):
    deadline = time.time() + 60
    while not os.path.exists(path):
        if time.time() > deadline:
            raise RuntimeError(failure)
        time.sleep(0.1)


VICTIM_FILES = {"victim.txt": "a file the launcher must never touch\n",
                "vcredist_x86.exe": "not the launcher's\n", "vcredist_x64.exe": "not the launcher's\n"}


def make_victim(drive):
    """A folder of someone else's files, where a planted link points."""
    victim = os.path.join(drive, "victim")
    os.makedirs(victim, exist_ok=True)
    for name, text in VICTIM_FILES.items():
        with open(os.path.join(victim, name), "w") as f:
            f.write(text)
    return victim


def check_victim(drive):
    victim = os.path.join(drive, "victim")
    found = {name: read(os.path.join(victim, name)) for name in os.listdir(victim)} if os.path.isdir(victim) else {}
    return [] if found == VICTIM_FILES else ["the link's target changed: %s" % sorted(found)]


def plant_links(args, drive):
    """Links a standard user could leave before the run: a folder link in
    place of a package folder level, or a second name of another file as the
    package file."""
    victim = make_victim(drive)
    for path in args.plant_link:
        link = os.path.join(drive, path)
        os.makedirs(os.path.dirname(link), exist_ok=True)
        os.symlink(victim, link)
    if args.hard_link_package:
        folder = os.path.dirname(package_path(drive))
        os.makedirs(folder, exist_ok=True)
        os.link(os.path.join(victim, "victim.txt"), package_path(drive))


def package_path(drive):
    return os.path.join(product_folder(drive), VALUES.package_file_name)


def export_victim_key(args, prefix, drive, name):
    """The victim key's tree as parse_reg reads it, below a root that holds it."""
    wine(prefix, args.arch, "reg", "export", VALUES.victim_key, "C:\\StandIn\\" + name, "/y", registry_view(args))
    return parse_reg(os.path.join(drive, "StandIn", name), root=VALUES.victim_key.rsplit("\\", 1)[0])


def plant_registry_link(args, prefix, drive):
    """A registry link a standard user could leave as the settings backup key,
    leading to a key of someone else's with values and a sub-key. Returns the
    victim key's tree."""
    for key, value, kind, data in ((VALUES.victim_key, "Owner", "REG_SZ", "someone else"),
                                   (VALUES.victim_key + "\\Inner", "Depth", "REG_DWORD", "2")):
        prepare(prefix, args.arch, "creating the victim key failed",
                "reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f", registry_view(args))
    shutil.copy(args.plant_registry_link, os.path.join(drive, "StandIn", "RegistryLinkPlanter.exe"))
    link, target = (key.split("\\", 1)[1] for key in (VALUES.backup_key, VALUES.victim_key))
    if wine(prefix, args.arch, "C:\\StandIn\\RegistryLinkPlanter.exe", link, target) != 0:
        raise RuntimeError("planting the registry link failed")
    victim = export_victim_key(args, prefix, drive, "victim-before.reg")
    if len(victim) != 2:
        raise RuntimeError("the victim key was not written: %s" % victim)
    return victim


def check_registry_link(args, prefix, drive):
    """The victim key as before the run, and no backup key, nor the link."""
    failures = []
    if export_victim_key(args, prefix, drive, "victim-after.reg") != args.victim_key:
        failures.append("the registry link's target changed across the run")
    if wine(prefix, args.arch, "reg", "query", VALUES.backup_key, registry_view(args)) == 0:
        failures.append("a backup key, or the link, is still there after the run")
    return failures


def point_associations_at_recorder(args, prefix, drive):
    """The machine's and the user's "open" of packages and programs run a
    recording stand-in: a launcher that went through the shell would run it."""
    shutil.copy(args.recorder, os.path.join(drive, "StandIn", "association-recorder.exe"))
    command = 'C:\\StandIn\\association-recorder.exe "%1"'
    for root in ("HKCR", "HKCU\\Software\\Classes"):
        for kind in ("Msi.Package", "exefile"):
            key = "%s\\%s\\shell\\Open\\command" % (root, kind)
            prepare(prefix, args.arch, "pointing %s at the recorder failed" % key,
                    "reg", "add", key, "/ve", "/t", "REG_SZ", "/d", command, "/f")


class StagingSwap:
    """Swaps the staging folder for a link to the victim folder once the
    package has installed its files, before the cleanup, from outside Wine's
    sharing checks (on Windows the held folder cannot be renamed)."""

    def __init__(self, drive):
        self.drive, self.swapped, self.done = drive, None, False
        self.victim = make_victim(drive)
        self.thread = threading.Thread(target=self.swap_when_installing, daemon=True)
        self.thread.start()

    def swap_when_installing(self):
        deadline = time.time() + 300
        while time.time() < deadline and not self.done:
            if installed_markers(self.drive):
                for temp in staging_roots(self.drive):
                    for entry in os.listdir(temp):
                        folder = os.path.join(temp, entry)
                        if GUID_FOLDER.match(entry) and os.path.isdir(folder) and not os.path.islink(folder):
                            os.rename(folder, folder + ".moved-away")
                            os.symlink(self.victim, folder)
                            self.swapped = folder
                            return
            time.sleep(0.01)

    def close(self):
        self.done = True
        self.thread.join(timeout=5)
        if self.swapped:
            shutil.rmtree(self.swapped + ".moved-away", ignore_errors=True)


def marker_paths(drive):
    return [os.path.join(drive, name, VALUES.stand_in_folder, "DriverPackage.txt")
            for name in ("Program Files", "Program Files (x86)")]


def installed_markers(drive):
    """The markers of the driver packages installed, each telling which."""
    texts = [read(path) for path in marker_paths(drive)]
    return [text.strip() for text in texts if text]


def staging_roots(drive):
    """Where the launcher makes its staging folders: Windows' own temporary
    folder, never the user's."""
    return [os.path.join(drive, "windows", name) for name in ("SystemTemp", "temp")
            if os.path.isdir(os.path.join(drive, "windows", name))]


def users_temp_folders(drive):
    return [os.path.join(drive, "users", user, "Temp") for user in os.listdir(os.path.join(drive, "users"))
            if os.path.isdir(os.path.join(drive, "users", user, "Temp"))]


THEIR_FILES = {"victim.txt": "a file of the user's own\n"}


def product_folder(drive):
    return os.path.join(drive, "ProgramData", *VALUES.package_levels)


def make_user_product_folder(args, drive):
    """The product folder made by a standard user before the first install,
    writable by everyone, holding a package of their own."""
    folder = product_folder(drive)
    os.makedirs(folder)
    for level in (folder, os.path.dirname(folder), os.path.dirname(os.path.dirname(folder))):
        os.chmod(level, 0o777)
    for name, text in THEIR_FILES.items():
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    shutil.copy(args.user_product_folder, os.path.join(folder, VALUES.package_file_name))


# Another product of the vendor, which keeps its own folder in the vendor's.
OTHER_PRODUCT = "OtherProduct"
OTHER_PRODUCT_FILES = {"settings.ini": "kept by another product\n", "data/state.bin": "its state\n"}


def vendor_folder(drive):
    return os.path.join(drive, "ProgramData", VALUES.package_levels[0])


def make_other_product_folder(args, drive):
    """The vendor's folder as another product of the vendor made it before
    the first install, with files of that product's own; its mode tells
    whether users may change it (777) or only read it (755)."""
    folder = os.path.join(vendor_folder(drive), OTHER_PRODUCT)
    for name, text in OTHER_PRODUCT_FILES.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    os.chmod(vendor_folder(drive), int(args.other_product_folder, 8))


def check_other_product_folder(drive):
    """The other product's files are where it left them, and its vendor's
    folder was never moved aside."""
    folder = os.path.join(vendor_folder(drive), OTHER_PRODUCT)
    failures = ["%s of the other product was changed or removed" % name
                for name, text in OTHER_PRODUCT_FILES.items() if read(os.path.join(folder, name)) != text]
    moved = glob.glob(vendor_folder(drive) + ".untrusted-*")
    if moved:
        failures.append("the vendor's folder was moved aside: %s" % ", ".join(moved))
    return failures


def their_files_intact(args, folder):
    return all(read(os.path.join(folder, name)) == text for name, text in THEIR_FILES.items()) and \
        filecmp.cmp(os.path.join(folder, VALUES.package_file_name), args.user_product_folder, shallow=False)


def check_user_product_folder(args, drive):
    """Their package never installs and their files are untouched, wherever
    they are now: moved aside by the run, or behind the link they made."""
    candidates = glob.glob(os.path.join(drive, "ProgramData", *(level + "*" for level in VALUES.package_levels))) + \
        [os.path.join(drive, "theirs")]
    holding = [folder for folder in candidates if os.path.isdir(folder) and not os.path.islink(folder) and
               os.path.exists(os.path.join(folder, VALUES.package_file_name)) and their_files_intact(args, folder)]
    print("their files intact in: %s" % (", ".join(holding) or "none"))
    return [] if holding else ["the user's files in their product folder were changed or removed"]


class UserFolderLink:
    """The user who made the product folder holds it and, just as the run
    starts, turns it into a link to a folder of theirs with their package
    (outside Wine's sharing checks, as their handle would let them on
    Windows while the folder is still theirs)."""

    def __init__(self, args, drive):
        folder = product_folder(drive)
        theirs = os.path.join(drive, "theirs")
        os.rename(folder, theirs)
        os.symlink(theirs, folder)
        self.linked = True

    def close(self):
        pass


# What the user's own environment sets to make a .NET or PowerShell program
# load their code, or run it with other compatibility settings.
USER_CODE_LOADING = {
    "COR_ENABLE_PROFILING": "1",
    "COR_PROFILER": "{C0DE0000-0000-0000-0000-00000000BAD1}",
    "COR_PROFILER_PATH": "C:\\users\\Public\\planted\\profiler.dll",
    "__COMPAT_LAYER": "RunAsInvoker",
    "PSModulePath": "C:\\users\\Public\\planted\\Modules",
    "DOTNET_STARTUP_HOOKS": "C:\\users\\Public\\planted\\hook.dll",
}


class UserTemporaryFolderLink:
    """The user's TMP and TEMP name a link of theirs, which they point at
    another of their folders while the first prerequisite runs and back once
    the package has installed, during the cleanup. Their environment also
    holds what would make a .NET or PowerShell child load their code."""

    def __init__(self, args, prefix, drive):
        self.drive, self.done, self.flips = drive, False, 0
        self.targets = [make_victim(drive), os.path.join(drive, "victim-b")]
        shutil.copytree(self.targets[0], self.targets[1])
        self.link = os.path.join(drive, "users", "Public", "linked-temp")
        os.symlink(self.targets[0], self.link)
        variables = dict(USER_CODE_LOADING, TMP="C:\\users\\Public\\linked-temp",
                         TEMP="C:\\users\\Public\\linked-temp")
        for name, value in variables.items():
            prepare(prefix, args.arch, "setting the user's %s failed" % name,
                    "reg", "add", "HKCU\\Environment", "/v", name, "/t", "REG_SZ", "/d", value, "/f")
        self.thread = threading.Thread(target=self.flip, daemon=True)
        self.thread.start()

    def point_at(self, target):
        os.symlink(target, self.link + ".new")
        os.replace(self.link + ".new", self.link)
        self.flips += 1

    def flip(self):
        journal = os.path.join(self.drive, "StandIn", "journal.txt")
        deadline = time.time() + 300
        while time.time() < deadline and not self.done and not os.path.exists(journal):
            time.sleep(0.01)
        self.point_at(self.targets[1])
        while time.time() < deadline and not self.done and not installed_markers(self.drive):
            time.sleep(0.01)
        self.point_at(self.targets[0])

    def close(self):
        self.done = True
        self.thread.join(timeout=5)

    def check(self):
        failures = [] if self.flips == 2 else ["the user's temporary folder link was flipped %d times" % self.flips]
        for target in self.targets:
            found = {name: read(os.path.join(target, name)) for name in os.listdir(target)}
            if found != VICTIM_FILES:
                failures.append("the user's folder %s changed: %s" % (target, sorted(found)))
        return failures


def parse_reg(path, root=None):
    """{key path below root (default: the drivers key): set of value
    lines}, continuation lines joined."""
    root = root or VALUES.drivers_key
    try:
        with open(path, encoding="utf-16") as f:
            text = f.read()
    except OSError:
        return {}
    keys, current = {}, None
    for line in re.sub(r"\\\r?\n\s*", "", text).splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            name = line[1:-1]
            current = name[len(root) + 1:] if name.lower().startswith(root.lower() + "\\") else None
            if current is not None:
                keys.setdefault(current, set())
        elif current is not None and line.startswith('"'):
            keys[current].add(line)
    return keys


def subtree(keys, root):
    return {path[len(root):]: values for path, values in keys.items()
            if path == root or path.startswith(root + "\\")}


def install_packages(args, prefix, drive, packages, *properties):
    for package in packages:
        name = os.path.basename(package)
        shutil.copy(package, os.path.join(drive, name))
        # The first Windows Installer start in a fresh prefix has been seen to
        # end with 1 once in CI; this prepares the machine, it is not what a
        # scenario checks, so it is started once more before giving up.
        for _ in range(2):
            code = wine(prefix, args.arch, "msiexec", "/i", "C:\\" + name, "/qn", "/l*v", "C:\\" + name + ".log",
                        *properties)
            if code == 0:
                break
        else:
            raise RuntimeError("installing %s before the run failed with %d; its log ends:\n%s"
                               % (package, code, log_tail(os.path.join(drive, name + ".log"))))


def log_tail(path, lines=20):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return "(no log)"
    text = data.decode("utf-16" if data[:2] == b"\xff\xfe" else "latin-1", errors="replace")
    return "\n".join(text.splitlines()[-lines:])


def install_earlier_products(args, prefix, drive):
    install_packages(args, prefix, drive, args.preinstall)


def install_users_own_products(args, prefix, drive):
    """ALLUSERS empty: the user's own installation, which needs no rights."""
    if not args.preinstall_per_user:
        return
    install_packages(args, prefix, drive, args.preinstall_per_user, 'ALLUSERS=""')
    if wine(prefix, args.arch, "reg", "query", "HKCU\\Software\\Microsoft\\Installer\\Products") != 0:
        raise RuntimeError("the per-user installation was registered for the machine")


def install_service(args, prefix, drive):
    """The stand-in device-monitor service, installed and stopped."""
    shutil.copy(args.service, os.path.join(drive, "StandIn", "StandInService.exe"))
    wine(prefix, args.arch, "sc", "create", VALUES.service_name, "binpath=", "C:\\StandIn\\StandInService.exe")


def prepare_machine(args, prefix, drive):
    """What the machine holds before the launcher runs: earlier products, the
    device-monitor service, running processes. Returns the processes started."""
    install_earlier_products(args, prefix, drive)
    install_users_own_products(args, prefix, drive)
    # Uninstall entries are looked up in the 64-bit view on 64-bit Windows.
    for key in args.registry_key:
        view = "/reg:64" if args.arch == "win64" else "/reg:32"
        prepare(prefix, args.arch, "creating %s before the run failed" % key, "reg", "add", key, "/f", view)
    if args.service:
        install_service(args, prefix, drive)
        if args.service_running:
            wine(prefix, args.arch, "sc", "start", VALUES.service_name)
    if args.driver_settings:
        seed_driver_settings(args, prefix, drive)
        observe_drivers_key_during_install(args, prefix, drive)
    for path in args.make_folder:
        os.makedirs(os.path.join(drive, path), exist_ok=True)
    if args.plant_link or args.hard_link_package:
        plant_links(args, drive)
    if args.user_product_folder:
        make_user_product_folder(args, drive)
    if args.other_product_folder:
        make_other_product_folder(args, drive)
    if args.recorder:
        point_associations_at_recorder(args, prefix, drive)
    if args.plant_registry_link:
        args.victim_key = plant_registry_link(args, prefix, drive)
    if args.hold_lock is not None:
        hold_run_lock(args, prefix, drive)
    return start_processes(args, prefix, drive)


FIRST_RUNS_BACKUP = "held by the first run"


def hold_run_lock(args, prefix, drive):
    """Another run of the launcher in progress: its run lock held for
    --hold-lock seconds, and its settings backup made."""
    wine(prefix, args.arch, "reg", "add", VALUES.backup_key, "/v", "FirstRun", "/d", FIRST_RUNS_BACKUP, "/f",
         registry_view(args))
    shutil.copy(args.lock_holder, os.path.join(drive, "StandIn", "RunLockHolder.exe"))
    wine(prefix, args.arch, "C:\\StandIn\\RunLockHolder.exe", "Global\\InstallerLauncher_" + VALUES.settings_name,
         str(args.hold_lock), background=True)
    deadline = time.time() + 60
    while not os.path.exists(os.path.join(drive, "StandIn", "lock-held.txt")):
        if time.time() > deadline:
            raise RuntimeError("the run lock holder did not start")
        time.sleep(0.2)


def check_first_runs_backup(args, prefix, drive):
    """The backup of the run that held the lock is as that run made it."""
    exported = os.path.join(drive, "StandIn", "first-run-backup.reg")
    wine(prefix, args.arch, "reg", "export", VALUES.backup_key, "C:\\StandIn\\first-run-backup.reg", "/y",
         registry_view(args))
    # reg export writes UTF-16.
    text = open(exported, "rb").read().decode("utf-16", errors="replace") if os.path.exists(exported) else ""
    print("the first run's backup: %s" % ("intact" if FIRST_RUNS_BACKUP in text else "changed or gone"))
    return [] if FIRST_RUNS_BACKUP in text else ["the first run's settings backup was changed or removed"]


def start_processes(args, prefix, drive):
    """The --start-process stand-ins, running; returns them by image name."""
    processes = {}
    for index, name in enumerate(args.start_process):
        folder = os.path.join(drive, "processes", str(index))
        os.makedirs(folder, exist_ok=True)
        shutil.copy(args.waiting_program, os.path.join(folder, name))
        processes.setdefault(name, []).append(
            wine(prefix, args.arch, "C:\\processes\\%d\\%s" % (index, name), background=True))
    wait_until_started(drive, len(args.start_process))
    return processes


def wait_until_started(drive, count):
    """Each waiting stand-in records its start; the launcher must find them all."""
    deadline = time.time() + 60
    while count and time.time() < deadline:
        started = read(os.path.join(drive, "StandIn", "waiting.txt")) or ""
        if len(started.splitlines()) >= count:
            return
        time.sleep(0.2)
    if count:
        raise RuntimeError("the stand-in processes did not all start")


def make_base(args):
    """Makes the booted base prefix when it is missing. Returns the probe's
    77 or 1 when this machine cannot run the (32-bit) launcher, else None."""
    if is_32bit_program(args.launcher):
        code, message = probe32.probe()
        if code:
            print(message)
            return code
    subprocess.run([os.path.join(SUPPORT, "wine-prefix.sh"), "create", args.base, args.arch, args.version],
                   check=True)
    return None


@contextlib.contextmanager
def fresh_prefix(base):
    """A copy of the booted base prefix with C:\\StandIn made, as (prefix,
    drive); its server is ended and the copy removed afterwards."""
    folder = tempfile.mkdtemp(prefix="launcher-scenario.")
    prefix = os.path.join(folder, "prefix")
    try:
        # A plain copy: hard links would let the scenario write through into the base.
        subprocess.run(["cp", "-a", base, prefix], check=True)
        drive = os.path.join(prefix, "drive_c")
        os.makedirs(os.path.join(drive, "StandIn"), exist_ok=True)
        yield prefix, drive
    finally:
        end_server(prefix)
        shutil.rmtree(folder, ignore_errors=True)


def end_server(prefix):
    """Ends the prefix's server, which writes its registry to the files."""
    subprocess.run(["/usr/lib/wine/wineserver64", "-k"], env=dict(os.environ, WINEPREFIX=prefix), capture_output=True)


def run(args):
    skipped = make_base(args)
    if skipped:
        return skipped
    with fresh_prefix(args.base) as (prefix, drive):
        processes = prepare_machine(args, prefix, drive)
        swap = StagingSwap(drive) if args.swap_staging else None
        user_link = UserFolderLink(args, drive) if args.link_user_folder else None
        temporary_link = UserTemporaryFolderLink(args, prefix, drive) if args.user_temp_link else None
        try:
            if args.run_first:
                stdout = run_first(args, prefix, drive)
                if stdout is not None:
                    return 1
                # A damaged installation, for a repair to mend.
                for path in marker_paths(drive) if args.remove_markers else []:
                    if os.path.exists(path):
                        os.remove(path)
            stdout = launch(args, prefix, drive)
        finally:
            for watcher in (swap, user_link, temporary_link):
                if watcher:
                    watcher.close()
        args.staging_swapped = bool(swap and swap.swapped)
        args.temporary_link_failures = temporary_link.check() if temporary_link else []
        if user_link and not user_link.linked:
            args.temporary_link_failures.append("the user's product folder was never turned into a link")
        # Termination is started, not waited for, by the launcher.
        time.sleep(2 if processes else 0)
        return check(args, prefix, drive, stdout, processes)


class Prompt:
    """A virtual display on which the launcher can show its prompt, and a
    person's answer to it: the window is found by its caption, photographed,
    and answered with a key press."""

    def __init__(self, caption, answer, screenshot):
        self.caption, self.answer, self.screenshot = caption, answer, screenshot
        self.shown = False
        self.display = ":%d" % (90 + os.getpid() % 500)
        self.server = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        self.thread = threading.Thread(target=self.answer_when_shown, daemon=True)
        self.thread.start()

    def answer_when_shown(self):
        env = dict(os.environ, DISPLAY=self.display)
        deadline = time.time() + 120
        while time.time() < deadline:
            found = subprocess.run(["xdotool", "search", "--name", "^%s$" % re.escape(self.caption)],
                                   env=env, capture_output=True, text=True)
            windows = found.stdout.split()
            if windows:
                time.sleep(1)
                self.shown = True
                if self.screenshot:
                    os.makedirs(os.path.dirname(self.screenshot), exist_ok=True)
                    subprocess.run(["import", "-window", "root", self.screenshot], env=env, capture_output=True)
                subprocess.run(["xdotool", "key", "--window", windows[-1], self.answer], env=env, capture_output=True)
                return
            time.sleep(0.5)

    def close(self):
        self.thread.join(timeout=5)
        self.server.kill()
        self.server.wait()


def run_first(args, prefix, drive):
    """A whole run made before the one the scenario checks, in the same
    prefix, as an administrator re-runs an installer. It must install the
    driver; the programs it ran are then taken out of the journal. Returns
    None when it did, else its output after printing why not."""
    arguments = args.arguments
    args.arguments = arguments if args.first_arguments is None else args.first_arguments
    stdout = launch(args, prefix, drive)
    args.arguments = arguments
    exit_code = (read(os.path.join(drive, "probe", "exit-code.txt")) or "").strip()
    markers = installed_markers(drive)
    print("first run: exit code %s, package installed: %s" % (exit_code, ", ".join(markers) or "none"))
    if exit_code != "0" or not markers:
        print("FAIL: the first run did not install the driver\n" + stdout)
        return stdout
    journal = os.path.join(drive, "StandIn", "journal.txt")
    if os.path.exists(journal):
        os.remove(journal)
    return None


def launch(args, prefix, drive):
    folder = os.path.join(drive, args.folder)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(args.launcher, os.path.join(folder, "InstallerLauncher.exe"))
    os.makedirs(os.path.join(drive, "probe"), exist_ok=True)
    shutil.copy(args.probe, os.path.join(drive, "probe", "LaunchProbe.exe"))
    standin = os.path.join(drive, "StandIn")
    with open(os.path.join(standin, "exit-codes.txt"), "w") as f:
        f.write("".join(line + "\n" for line in args.exit_code))
    windows_folder = "C:\\" + args.folder.replace("/", "\\")
    command = '"%s\\InstallerLauncher.exe"%s' % (windows_folder, (" " + args.arguments) if args.arguments else "")
    with open(os.path.join(drive, "probe", "command.txt"), "w", encoding="utf-8") as f:
        f.write(command)
    args.command_line = command
    prompt = Prompt(args.prompt_caption, args.answer_prompt, args.screenshot) if args.answer_prompt else None
    # Without a prompt to answer there is no display: a message box returns at
    # once, as on a machine without a desktop, instead of waiting for a click.
    env = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
    if prompt:
        env["DISPLAY"] = prompt.display
    try:
        result = subprocess.run(
            [os.path.join(SUPPORT, "run-in-prefix.sh"), prefix, args.arch,
             os.path.join(drive, "probe", "LaunchProbe.exe"), "C:\\probe\\command.txt", "C:\\probe\\exit-code.txt"],
            capture_output=True, text=True, errors="replace", env=env)
    finally:
        if prompt:
            prompt.close()
    args.prompt_shown = bool(prompt and prompt.shown)
    return result.stdout


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return None


def check_driver_settings(args, prefix, drive):
    """While the package installed, the backup held every value of the
    settings tree with its type and bytes; afterwards it is gone and the
    settings are as they were."""
    failures = []
    during = parse_reg(os.path.join(drive, "StandIn", "during-install.reg"))
    settings, backup = subtree(during, VALUES.settings_name), subtree(during, VALUES.backup_name)
    print("during the install: settings tree %d keys, backup tree %d keys" % (len(settings), len(backup)))
    if not settings:
        failures.append("the drivers key was not observed during the install")
    elif backup != settings:
        missing = {k: sorted(v - backup.get(k, set())) for k, v in settings.items() if v - backup.get(k, set())}
        failures.append("the backup differs from the settings: missing %s, backup holds %s" % (missing, backup))
    after = os.path.join(drive, "StandIn", "after-install.reg")
    wine(prefix, args.arch, "reg", "export", VALUES.drivers_key, "C:\\StandIn\\after-install.reg", "/y",
         registry_view(args))
    remaining = parse_reg(after)
    if subtree(remaining, VALUES.backup_name):
        failures.append("the backup key is still there after the run")
    if subtree(remaining, VALUES.settings_name) != settings:
        failures.append("the settings changed across the run")
    return failures


def check(args, prefix, drive, stdout, processes):
    failures = []
    exit_code = (read(os.path.join(drive, "probe", "exit-code.txt")) or "").strip()
    journal = read(os.path.join(drive, "StandIn", "journal.txt")) or ""
    runs = [line.split("\t") for line in journal.splitlines()]
    markers = installed_markers(drive)
    package = package_path(drive)
    # A link a user planted under a staging folder's name is not the launcher's.
    staging = [entry for temp in staging_roots(drive) + users_temp_folders(drive) for entry in os.listdir(temp)
               if GUID_FOLDER.match(entry) and not os.path.islink(os.path.join(temp, entry))]

    print("command line: %s" % args.command_line)
    print("exit code: %s" % exit_code)
    print("programs run (file | parameters | working folder | TEMP | PATH | user's code-loading variables):")
    for fields in runs:
        print("  " + " | ".join(fields))
    print("package installed: %s" % (", ".join(markers) or "none"))
    print("package file kept: %s" % ("yes" if os.path.exists(package) else "no"))
    print("staging folders left: %s" % (", ".join(staging) or "none"))
    print("standard output:")
    print("".join("  " + line + "\n" for line in stdout.splitlines()), end="")
    if args.show_log or args.expect_log:
        for path in launcher_logs(drive):
            show_log(drive, path)

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
    controls = (read(os.path.join(drive, "StandIn", "service-journal.txt")) or "").split()
    controls = [c for c in controls if c != "control"]
    if args.service:
        print("service controls received: %s" % (", ".join(controls) or "none"))
    if args.expect_service_controls is not None:
        expected = [c for c in args.expect_service_controls.split(",") if c]
        if controls != expected:
            failures.append("service received %s, expected %s" % (controls, expected))
    for name, started in processes.items():
        running = sum(1 for process in started if process.poll() is None)
        print("processes %s: %d of %d still running" % (name, running, len(started)))
        if name in args.expect_ended and running:
            failures.append("%d %s still running" % (running, name))
        if name in args.expect_running and running != len(started):
            failures.append("%s was ended" % name)
    if args.driver_settings:
        failures += check_driver_settings(args, prefix, drive)
    if args.answer_prompt and not args.prompt_shown:
        failures.append("the prompt was never shown")
    for path in args.expect_present:
        if not os.path.exists(os.path.join(drive, path)):
            failures.append("C:/%s is missing" % path)
    for copy in args.expect_copy:
        path, original = copy.split("=", 1)
        if read_bytes(os.path.join(drive, path)) != read_bytes(original):
            failures.append("C:/%s is not a copy of %s" % (path, original))
    for path in args.expect_absent:
        if os.path.exists(os.path.join(drive, path)):
            failures.append("C:/%s is still there" % path)
    if args.plant_link or args.hard_link_package or args.swap_staging:
        failures += check_victim(drive)
    if args.swap_staging and not args.staging_swapped:
        failures.append("the staging folder was never swapped for a link during the install")
    if args.hard_link_package and os.path.exists(package) and os.stat(package).st_nlink != 1:
        failures.append("the package file is still a second name of another file")
    failures += check_children_environment(runs)
    if args.expect_log:
        failures += check_support_log(drive, exit_code, args.expect_log_line)
    if args.expect_named_log:
        failures += check_named_log(drive, args.expect_named_log, exit_code)
    if args.expect_log_line and not args.expect_log:
        logs = launcher_logs(drive)
        lines = (read(logs[-1]) or "").splitlines() if logs else []
        print("support log:\n" + "".join("  " + line + "\n" for line in lines), end="")
        failures += ["the support log lacks %r" % pattern for pattern in args.expect_log_line
                     if not any(re.search(pattern, line) for line in lines)]
    if args.user_product_folder:
        failures += check_user_product_folder(args, drive)
    if args.other_product_folder:
        failures += check_other_product_folder(drive)
    failures += args.temporary_link_failures
    if args.plant_registry_link:
        failures += check_registry_link(args, prefix, drive)
    if args.expect_first_runs_backup:
        failures += check_first_runs_backup(args, prefix, drive)
    if args.recorder and "association-recorder.exe" in journal:
        failures.append("a per-user or machine association ran: %s" % journal)
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


LAUNCHER_LOG = re.compile(r"^InstallerLauncher-\d{8}-\d{6}-\d+\.log$")


def launcher_logs(drive):
    """The launcher's own logs in the product's log folder, oldest first."""
    folder = os.path.join(product_folder(drive), "Logs")
    names = sorted(name for name in os.listdir(folder) if LAUNCHER_LOG.match(name)) if os.path.isdir(folder) else []
    return [os.path.join(folder, name) for name in names]


def show_log(drive, path):
    """Prints a log's path, as Windows names it, and its lines; returns the lines."""
    lines = (read(path) or "").splitlines()
    print("support log C:\\%s:" % os.path.relpath(path, drive).replace("/", "\\"))
    print("".join("  " + line + "\n" for line in lines), end="")
    return lines


def exit_code_line(exit_code):
    """The log's last line: an error only for a code deployment tools read as
    failed, a warning for a restart."""
    level = "I" if exit_code == "0" else "W" if exit_code in ("3010", "1641") else "E"
    return re.compile(r"\] %s exit code %s \(" % (level, re.escape(exit_code)))


def check_support_log(drive, exit_code, expected_lines):
    """The run's log ends with its exit code at its level and holds the
    expected lines, and Windows Installer's own log of the package lies
    beside it."""
    logs = launcher_logs(drive)
    if len(logs) != 1:
        return ["%d launcher logs, expected 1" % len(logs)]
    lines = (read(logs[0]) or "").splitlines()
    failures = []
    if not lines or not exit_code_line(exit_code).search(lines[-1]):
        failures.append("the support log does not end with the exit code %s at its level" % exit_code)
    failures += ["the support log lacks %r" % pattern for pattern in expected_lines
                 if not any(re.search(pattern, line) for line in lines)]
    msi_log = logs[0][:-len(".log")] + "-msi.log"
    if not os.path.exists(msi_log) or os.path.getsize(msi_log) == 0:
        failures.append("Windows Installer's log of the package is missing or empty")
    return failures


def check_named_log(drive, windows_path, exit_code):
    """The log -log named ends with the exit code and names Windows
    Installer's log of the package, which lies in the product's Logs folder,
    never beside the named file."""
    path = os.path.join(drive, *windows_path.split("\\")[1:])
    lines = show_log(drive, path)
    failures = []
    if not lines or not exit_code_line(exit_code).search(lines[-1]):
        failures.append("the named log does not end with the exit code %s" % exit_code)
    stem = os.path.splitext(os.path.basename(path))[0]
    msi_log = os.path.join(product_folder(drive), "Logs", stem + "-msi.log")
    if not os.path.exists(msi_log) or os.path.getsize(msi_log) == 0:
        failures.append("Windows Installer's log of the package is not in the Logs folder")
    if not any(line.endswith("Windows Installer log: C:\\ProgramData\\%s\\Logs\\%s-msi.log"
                             % ("\\".join(VALUES.package_levels), stem)) for line in lines):
        failures.append("the named log does not name Windows Installer's log")
    if glob.glob(os.path.join(os.path.dirname(path), stem + "-*")):
        failures.append("a Windows Installer log lies beside the named log")
    return failures


def check_children_environment(runs):
    """Every staged program ran from a staging folder under Windows' own
    temporary folder, with its TEMP inside that folder, a PATH of system
    folders only and none of the user's code-loading variables, whatever the
    user's environment said."""
    failures = []
    for fields in runs:
        if len(fields) < 5:
            failures.append("%s recorded no environment" % fields[0])
            continue
        folder, temporary, path = fields[2], fields[3], fields[4]
        if not re.match(r"^C:\\windows\\(System)?Temp\\[0-9a-f-]{36}$", folder, re.I):
            failures.append("%s ran in %s" % (fields[0], folder))
        if temporary.lower() != (folder + "\\Temp").lower():
            failures.append("%s was given TEMP=%s" % (fields[0], temporary))
        if any(not entry.lower().startswith("c:\\windows") for entry in path.split(";")):
            failures.append("%s was given PATH=%s" % (fields[0], path))
        given = dict(entry.split("=", 1) for entry in fields[5].split("|") if "=" in entry) if len(fields) > 5 else {}
        users = sorted(name for name, value in given.items() if USER_CODE_LOADING.get(name) == value)
        if users:
            failures.append("%s was given the user's %s" % (fields[0], ", ".join(users)))
    return failures


def add_prefix_and_launcher_arguments(parser):
    """The options every scenario script takes: the build's test values,
    which prefix, which launcher."""
    parser.add_argument("--test-values", required=True, help="the build's test-values.json")
    parser.add_argument("--prefix", required=True, help="test prefix name, e.g. win10-64")
    parser.add_argument("--base", required=True, help="booted prefix to copy, made when missing")
    parser.add_argument("--launcher", required=True)


def parse_arguments(parser):
    """The options parsed, with the prefix's WINEARCH and Windows version
    (args.arch, args.version) and the build's values read into VALUES."""
    global VALUES
    args = parser.parse_args()
    VALUES = TestValues(args.test_values)
    prefix = VALUES.prefixes[args.prefix]
    args.arch, args.version = prefix["arch"], prefix["version"]
    args.base = os.path.abspath(args.base)
    return args


def main():
    parser = argparse.ArgumentParser()
    add_prefix_and_launcher_arguments(parser)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--folder", default="users/Public/Downloads", help="where the launcher is run from")
    parser.add_argument("--arguments", default="")
    parser.add_argument("--exit-code", action="append", default=[], help="stand-in NAME=CODE")
    parser.add_argument("--run-first", action="store_true", help="run the launcher once before the checked run")
    parser.add_argument("--first-arguments", help="the first run's arguments, when not --arguments")
    parser.add_argument("--expect-exit", type=int)
    parser.add_argument("--expect-run", action="append", default=[], help="FILE|PARAMETERS, in order")
    parser.add_argument("--expect-no-runs", action="store_true")
    parser.add_argument("--expect-installed", help="package marker, or empty for none")
    parser.add_argument("--expect-package-file", action="store_true")
    parser.add_argument("--expect-stdout", action="append", default=[], help="regular expression")
    parser.add_argument("--remove-markers", action="store_true", help="remove the installed package's files after --run-first")
    parser.add_argument("--answer-prompt", choices=["y", "n"], help="show the prompt on a virtual display, answer it")
    parser.add_argument("--prompt-caption", default="TAVRIN Driver Installer")
    parser.add_argument("--screenshot", help="where to keep a picture of the prompt")
    parser.add_argument("--driver-settings", help=".reg file of driver settings to seed and watch through the install")
    parser.add_argument("--preinstall", action="append", default=[], help="package installed before the run")
    parser.add_argument("--preinstall-per-user", action="append", default=[],
                        help="package the user installs for themselves before the run")
    parser.add_argument("--registry-key", action="append", default=[], help="key created before the run")
    parser.add_argument("--service", help="stand-in service program, installed as the device-monitor service")
    parser.add_argument("--service-running", action="store_true")
    parser.add_argument("--expect-service-controls", help="control codes received, comma-separated")
    parser.add_argument("--waiting-program", help="stand-in program started under --start-process names")
    parser.add_argument("--start-process", action="append", default=[], help="image name, once per process")
    parser.add_argument("--expect-ended", action="append", default=[])
    parser.add_argument("--expect-running", action="append", default=[])
    parser.add_argument("--observer", help="program that runs a command while Windows Installer runs")
    parser.add_argument("--recorder", help="stand-in program the associations for packages and programs run")
    parser.add_argument("--plant-link", action="append", default=[], help="path below C:/ made a link to a victim folder")
    parser.add_argument("--hard-link-package", action="store_true",
                        help="the package file exists as a second name of a victim file")
    parser.add_argument("--swap-staging", action="store_true",
                        help="swap the staging folder for a link to a victim folder while the package installs")
    parser.add_argument("--user-product-folder", help="package a user left in a product folder they made")
    parser.add_argument("--other-product-folder", metavar="MODE", choices=["755", "777"],
                        help="another product's folder, with files, in the vendor's folder of this mode")
    parser.add_argument("--link-user-folder", action="store_true",
                        help="the user turns their product folder into a link once the run has begun")
    parser.add_argument("--user-temp-link", action="store_true",
                        help="TMP and TEMP name a user's link, re-pointed during the run")
    parser.add_argument("--plant-registry-link", metavar="PLANTER",
                        help="program that plants a registry link as the settings backup key, to a victim key")
    parser.add_argument("--expect-log", action="store_true",
                        help="a support log that ends with the exit code, and Windows Installer's log beside it")
    parser.add_argument("--expect-log-line", action="append", default=[], metavar="PATTERN",
                        help="a line of the support log (the newest, without --expect-log) matches this regular expression")
    parser.add_argument("--show-log", action="store_true", help="print the support log's path and lines")
    parser.add_argument("--hold-lock", type=int, metavar="SECONDS",
                        help="another run holds the run lock this long from before the launcher starts")
    parser.add_argument("--lock-holder", help="program that holds the run lock for --hold-lock")
    parser.add_argument("--expect-first-runs-backup", action="store_true",
                        help="the backup the lock's holder made is left as it was")
    parser.add_argument("--make-folder", action="append", default=[], help="folder below C:/ made before the run")
    parser.add_argument("--expect-named-log", metavar="WINDOWS_PATH",
                        help="the -log file ends with the exit code; Windows Installer's log is in the Logs folder")
    parser.add_argument("--expect-present", action="append", default=[], help="path below C:/")
    parser.add_argument("--expect-copy", action="append", default=[], help="PATH=FILE: path below C:/ holds FILE's bytes")
    parser.add_argument("--expect-absent", action="append", default=[], help="path below C:/")
    args = parse_arguments(parser)
    # Under Wine a folder's access list comes from its mode: one everyone may
    # write in is a folder users may write in, which the launcher moves
    # aside. Only the scenarios that mean to make one may.
    os.umask(0o022)
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
