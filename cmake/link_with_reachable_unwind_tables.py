#!/usr/bin/python3
"""Runs a MinGW link so that the unwind tables hold only the code it links.

usage: link_with_reachable_unwind_tables.py LINK-COMMAND...

GCC gives each inline or template function its own unwind-table section,
.eh_frame$NAME beside .text$NAME, but MinGW's default linker script keeps every
.eh_frame section, and each one keeps the code it describes: dropping unused
sections then leaves in every member of every library template that a program
touches at all. This link keeps .eh_frame$NAME only where .text$NAME is linked
anyway. Which code that is depends on the tables kept (a table names its
cleanup code and the types it catches), so the link is repeated, each time
keeping the tables of the code the last one linked, until that code stays the
same; the last link's tables then cover every function the program holds.
The sections of whole objects (.eh_frame without a name) are kept as before,
in link order, so the end marker of the table stays last.

A command that is not a link through the compiler driver runs unchanged.
"""
import os
import re
import subprocess
import sys
import tempfile

DEFAULT_KEEP = "KEEP(*(.eh_frame*))"
SCRIPT_FENCE = "=" * 50
MOST_LINKS = 8


def default_script(driver):
    linker = subprocess.run([driver, "-print-prog-name=ld"], capture_output=True, text=True, check=True).stdout.strip()
    verbose = subprocess.run([linker, "--verbose"], capture_output=True, text=True, check=True).stdout
    parts = verbose.split(SCRIPT_FENCE)
    if len(parts) < 3 or DEFAULT_KEEP not in parts[1]:
        sys.exit("%s: the default linker script of %s keeps no unwind tables the way this link expects"
                 % (os.path.basename(sys.argv[0]), linker))
    return parts[1]


def script_keeping(default, functions):
    named = "".join(" .eh_frame$" + name for name in sorted(functions))
    return default.replace(DEFAULT_KEEP, "KEEP(*(.eh_frame%s))\n    *(.eh_frame*)" % named)


def linked_functions(map_file):
    """The NAMEs of the .text$NAME sections the link kept."""
    with open(map_file, encoding="utf-8", errors="replace") as f:
        text = f.read()
    kept = text.split("Linker script and memory map", 1)[-1]
    return set(re.findall(r"^ \.text\$(\S+)", kept, re.MULTILINE))


def main(command):
    if "-o" not in command or not re.search(r"g\+\+|gcc", os.path.basename(command[0])):
        return subprocess.run(command).returncode
    default = default_script(command[0])
    functions = set()
    with tempfile.TemporaryDirectory() as work:
        script = os.path.join(work, "link.ld")
        map_file = os.path.join(work, "link.map")
        for _ in range(MOST_LINKS):
            with open(script, "w") as f:
                f.write(script_keeping(default, functions))
            result = subprocess.run(command + ["-Wl,-T," + script, "-Wl,-Map," + map_file])
            if result.returncode != 0:
                return result.returncode
            linked = linked_functions(map_file)
            if linked == functions:
                return 0
            functions = linked
    sys.exit("%s: the linked code kept changing after %d links" % (os.path.basename(sys.argv[0]), MOST_LINKS))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
