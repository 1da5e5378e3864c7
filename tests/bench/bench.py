#!/usr/bin/python3
"""Runs the benchmark's programs in a fresh Windows 10 64-bit prefix and prints
each figure, then one table: figure, value, target, met or not.

Every ratio comes from one program that measured both sides alternately, since
the machines this runs on are shared and noisy.
"""
import argparse
import datetime
import os
import platform
import re
import shutil
import subprocess
import sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
SUPPORT = os.path.join(HERE, "..", "support")
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import scenario  # noqa: E402
# The prefix the benchmark runs in.
PREFIX = "win10-64"
KB = 1024
MB = 1024 * 1024


class Prefix:
    """A Windows 10 64-bit prefix made afresh, with a persistent server."""

    def __init__(self, path, values):
        self.path = os.path.realpath(path)
        self.drive = os.path.join(self.path, "drive_c")
        self.values = values
        self.arch_and_version = [values.prefixes[PREFIX][field] for field in ("arch", "version")]

    def __enter__(self):
        shutil.rmtree(self.path, ignore_errors=True)
        subprocess.run([os.path.join(SUPPORT, "wine-prefix.sh"), "start", self.path] + self.arch_and_version,
                       check=True)
        return self

    def __exit__(self, *exc):
        subprocess.run([os.path.join(SUPPORT, "wine-prefix.sh"), "stop", self.path] + self.arch_and_version)

    def run(self, program, *arguments, timeout=900, check=True):
        """Runs a program; returns its standard output. Output goes through a
        file: a Wine background process could hold a pipe open."""
        env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all")
        env.pop("DISPLAY", None)
        with open(os.path.join(self.path, "bench-output.txt"), "w+") as out:
            code = subprocess.run(["timeout", "-k", "5", str(timeout), "/usr/lib/wine/wine64", program] +
                                  list(arguments), env=env, cwd=self.drive, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT).returncode
            out.seek(0)
            text = out.read()
        if code != 0 and check:
            sys.stdout.write(text)
            raise RuntimeError("%s exited with %d" % (os.path.basename(program), code))
        return text

    def windows_path(self, path):
        return "C:\\" + os.path.relpath(path, self.drive).replace("/", "\\")


def figures_of(output):
    """Echoes a program's report and returns its FIGURE lines as a dict."""
    figures = {}
    for line in output.splitlines():
        if line.startswith("FIGURE\t"):
            _, name, value = line.split("\t")
            figures[name] = float(value)
        else:
            print(line)
    sys.stdout.flush()
    return figures


def whole_run(prefix, build, launcher_build, repetitions):
    """The launcher once to warm up and to learn its children from the
    stand-ins' journal, then the timed runs against the minimal program."""
    bench = os.path.join(prefix.drive, "bench")
    children = os.path.join(bench, "children")
    os.makedirs(children, exist_ok=True)
    os.makedirs(os.path.join(prefix.drive, "StandIn"), exist_ok=True)
    launcher = os.path.join(bench, "InstallerLauncher.exe")
    shutil.copy(launcher_build, launcher)
    minimal = os.path.join(bench, "MinimalRun.exe")
    shutil.copy(os.path.join(build, "tests", "bench", "MinimalRun.exe"), minimal)
    start_floor = os.path.join(bench, "StartFloor.exe")
    shutil.copy(os.path.join(build, "tests", "bench", "StartFloor.exe"), start_floor)
    prefix.run(launcher)

    lines = []
    with open(os.path.join(prefix.drive, "StandIn", "journal.txt"), encoding="utf-8") as f:
        for entry in f.read().splitlines():
            name, parameters = entry.split("\t")[:2]
            bare = name.replace("/", "\\").split("\\")[-1]
            shutil.copy(os.path.join(build, "payloads", "StandInProgram.exe"), os.path.join(children, bare))
            # The launcher starts each child in the child's own folder; its
            # staging folder is gone by now, so the copies run in theirs.
            lines.append('"%s\\%s" %s\t%s' % (prefix.windows_path(children), bare, parameters,
                                                prefix.windows_path(children)))
    package = find_package(prefix)
    # The launcher starts Windows Installer by its full path, in the system
    # folder.
    lines.append('C:\\windows\\system32\\msiexec.exe /i "%s"\tC:\\windows\\system32' % prefix.windows_path(package))
    write_lines(os.path.join(bench, "children.txt"), lines)
    write_lines(os.path.join(bench, "launcher.txt"), ['"%s"' % prefix.windows_path(launcher)])
    write_lines(os.path.join(bench, "minimal.txt"),
                ['"%s" "C:\\bench\\children.txt"' % prefix.windows_path(minimal)])
    write_lines(os.path.join(bench, "start-floor.txt"), ['"%s"' % prefix.windows_path(start_floor)])
    # The minimal program with no children: a program that does nothing.
    write_lines(os.path.join(bench, "no-children.txt"), [])
    write_lines(os.path.join(bench, "empty.txt"),
                ['"%s" "C:\\bench\\no-children.txt"' % prefix.windows_path(minimal)])
    print("  children: " + "; ".join(line.split("\t")[0] for line in lines))
    return figures_of(prefix.run(os.path.join(build, "tests", "bench", "WholeRunBench.exe"), str(repetitions),
                                 "C:\\bench\\launcher.txt", "C:\\bench\\minimal.txt",
                                 "C:\\bench\\start-floor.txt", "C:\\bench\\empty.txt"))


def logged_run(prefix):
    """The newest run's time as its support log gives it, from its first line
    to its last, and the time its prerequisites took by the lines that tell
    each ended: the process start that every run pays alike is left out,
    which a shared machine makes the noisiest part."""
    folder = os.path.join(prefix.drive, "ProgramData", *prefix.values.package_levels, "Logs")
    newest = sorted(name for name in os.listdir(folder) if re.match(r"^InstallerLauncher-[\d-]+\.log$", name))[-1]
    lines = open(os.path.join(folder, newest), encoding="utf-8").read().splitlines()
    stamp = lambda line: datetime.datetime.strptime(line[:23], "%Y-%m-%d %H:%M:%S.%f")
    stamped = [line for line in lines if re.match(r"^\d{4}-", line)]
    whole = (stamp(stamped[-1]) - stamp(stamped[0])).total_seconds()
    prerequisites = sum(float(match.group(1)) for match in
                        (re.search(r"\\vcredist_x(?:86|64)\.exe ended with exit code -?\d+ after ([\d.]+) s", line)
                         for line in stamped) if match)
    return whole, prerequisites


def second_run(prefix, build, detecting_build, repetitions):
    """A whole run of a build that names its prerequisites' product codes,
    with the stand-ins that register them: with the codes installed before
    (a second run, or a machine that has the runtime) against without them,
    each time on a machine without the driver, alternately."""
    bench = os.path.join(prefix.drive, "bench")
    launcher = os.path.join(bench, "Detecting", "InstallerLauncher.exe")
    os.makedirs(os.path.dirname(launcher), exist_ok=True)
    shutil.copy(detecting_build, launcher)
    journal = os.path.join(prefix.drive, "StandIn", "journal.txt")
    rows = [line.split("|") for line in open(os.path.join(build, "payloads", "product-codes.txt")).read().splitlines()]
    codes = [row[1] for row in rows if row[0].startswith("RUNTIME_")]
    driver = [row[2] for row in rows if row[0].startswith("MSI")]

    def remove(*products):
        for code in products:
            prefix.run("msiexec", "/x", code, "/qn", check=False)

    def run_counting_starts():
        if os.path.exists(journal):
            os.remove(journal)
        prefix.run(launcher)
        return len(open(journal, encoding="utf-8").read().splitlines()) if os.path.exists(journal) else 0

    absent, installed, own, started = [], [], [], 0
    for _ in range(repetitions):
        remove(*codes, *driver)
        run_counting_starts()
        whole, prerequisites = logged_run(prefix)
        absent.append(whole)
        own.append(prerequisites)
        remove(*driver)
        started += run_counting_starts()
        installed.append(logged_run(prefix)[0])
    median = lambda values: sorted(values)[len(values) // 2]
    print("  with the codes installed %.3f s, without %.3f s, of which the prerequisites %.3f s (medians)" %
          (median(installed), median(absent), median(own)))
    return {"second.installed_seconds": median(installed), "second.absent_seconds": median(absent),
            "second.prerequisites_seconds": median(own), "second.started": started}


def write_lines(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def find_package(prefix):
    for folder in ("ProgramData", "Program Files (x86)", "Program Files"):
        for root, _, files in os.walk(os.path.join(prefix.drive, folder)):
            if prefix.values.package_file_name in files:
                return os.path.join(root, prefix.values.package_file_name)
    raise RuntimeError("the launcher left no package file")


def sizes(path):
    whole = os.path.getsize(path)
    pe = pefile.PE(path, fast_load=True)
    resources = sum(s.SizeOfRawData for s in pe.sections if s.Name.rstrip(b"\0") == b".rsrc")
    print("  InstallerLauncher.exe %d bytes, resources %d bytes, stub %d bytes" % (whole, resources, whole - resources))
    return {"size.stub": whole - resources, "size.whole": whole}


def table(f):
    """(figure, value, target, met or None) rows."""
    rows = []
    for destination, place in (("staging", "staging folder"), ("package", "package folder")):
        for megabytes in (8, 64, 256):
            ratio = f["extraction.%s.%d.ratio" % (destination, megabytes)]
            rows.append(("extraction %d MB to %s / WriteFile" % (megabytes, place), "%.2f" % ratio, ">= 0.90",
                         ratio >= 0.9))
        throughputs = [f["extraction.%s.%d.throughput" % (destination, mb)] for mb in (8, 64, 256)]
        growth = min(later / earlier for earlier, later in zip(throughputs, throughputs[1:]))
        rows.append(("extraction to %s, MB/s at 8/64/256 MB" % place,
                     "/".join("%.0f" % t for t in throughputs), "not falling", None))
        rows.append(("  least step, larger over smaller", "%.2f" % growth, ">= 0.90", growth >= 0.9))
    memory = f["extraction.memory"]
    rows.append(("private bytes added during 64 MB extraction", "%.0f KB" % (memory / KB), "< 1024 KB",
                 memory < MB))
    for keys in (250, 1000, 4000):
        ratio = f["settings.%d.ratio" % keys]
        rows.append(("backup+release %d keys / RegCopyTree+RegDeleteTree" % keys, "%.2f" % ratio, "<= 1.50",
                     ratio <= 1.5))
    per_key = f["settings.1000.seconds_per_key"]
    for keys in (250, 4000):
        drift = f["settings.%d.seconds_per_key" % keys] / per_key
        rows.append(("time per key, %d over 1000 keys" % keys, "%.2f" % drift, "0.70-1.30", 0.7 <= drift <= 1.3))
    ratio = f["run.ratio"]
    rows.append(("whole run (%.2f s) / minimal program (%.2f s)" % (f["run.launcher_seconds"],
                                                                   f["run.minimal_seconds"]),
                 "%.2f" % ratio, "<= 1.10", ratio <= 1.1))
    over = f["run.launcher_least_seconds"] - f["run.minimal_least_seconds"]
    imports = f["run.start_floor_least_seconds"] - f["run.empty_least_seconds"]
    rows.append(("  least whole run over least minimal run", "%.0f ms" % (over * 1000), "-", None))
    rows.append(("  empty program with the launcher's DLLs over one", "%.0f ms" % (imports * 1000), "-", None))
    rows.append(("    without them (least of each)", "", "", None))
    budget = f["second.absent_seconds"] - f["second.prerequisites_seconds"]
    rows.append(("run with prerequisites installed: programs started", "%d" % f["second.started"], "0",
                 f["second.started"] == 0))
    rows.append(("  its time / time without them minus theirs", "%.2f s / %.2f s" % (f["second.installed_seconds"],
                 budget), "<=", f["second.installed_seconds"] <= budget))
    stub = f["size.stub"]
    rows.append(("stub: file minus resources", "%.0f KB" % (stub / KB), "<= 133 KB", stub <= 133 * KB))
    rows.append(("whole file with the demo payloads", "%.0f KB" % (f["size.whole"] / KB), "-", None))
    return rows


def print_table(rows):
    width = max(len(row[0]) for row in rows)
    print("\n%-*s  %-14s  %-11s  %s" % (width, "figure", "value", "target", "met"))
    for name, value, target, met in rows:
        print("%-*s  %-14s  %-11s  %s" % (width, name, value, target, "" if met is None else ("yes" if met else "NO")))


def machine():
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
               platform.machine())
    wine = subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True, text=True).stdout.strip()
    return "%s, %d cores, %s, %s" % (cpu, os.cpu_count(), platform.platform(), wine)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build tree of the benchmark's programs")
    parser.add_argument("--launcher", required=True, help="the launcher the whole run starts")
    parser.add_argument("--detecting-launcher", required=True,
                        help="the same launcher built with its prerequisites' product codes")
    parser.add_argument("--shipped", required=True, help="the shipped 32-bit launcher, whose size is measured")
    parser.add_argument("--description", required=True, help="which build runs, said in the output")
    parser.add_argument("--prefix", required=True, help="where the fresh prefix is made")
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()
    build = os.path.realpath(args.build)
    programs = os.path.join(build, "tests", "bench")
    print("Machine: " + machine())
    print("Build: " + args.description)
    figures = {}
    values = scenario.TestValues(os.path.join(build, "test-values", "test-values.json"))
    with Prefix(args.prefix, values) as prefix:
        print("\n1-2. Payload extraction and memory")
        figures.update(figures_of(prefix.run(os.path.join(programs, "PayloadExtractionBench.exe"),
                                             str(args.repetitions))))
        print("\n3. Settings backup and release")
        figures.update(figures_of(prefix.run(os.path.join(programs, "SettingsBackupBench.exe"),
                                             str(args.repetitions), "250", "1000", "4000")))
        print("\n4. Whole run")
        figures.update(whole_run(prefix, build, os.path.realpath(args.launcher), args.repetitions))
        print("\n6. Second run: prerequisites installed before")
        figures.update(second_run(prefix, build, os.path.realpath(args.detecting_launcher), args.repetitions))
    print("\n5. Size")
    figures.update(sizes(os.path.realpath(args.shipped)))
    print_table(table(figures))
    return 0


if __name__ == "__main__":
    sys.exit(main())
