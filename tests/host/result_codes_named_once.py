#!/usr/bin/python3
"""Every result code of Launcher/Common/ResultCodes.h is spelled there only:
its number (decimal or hexadecimal) or its Win32 name anywhere else in
Launcher/ could drift from the name deployment decisions rely on.

Usage: result_codes_named_once.py SOURCE_ROOT
Exits 0 when no second spelling is found, 1 otherwise, and 1 when the codes or
the sources cannot be read: a lint that reads nothing proves nothing.
"""
import os
import re
import sys

CONSTANT = re.compile(r"inline constexpr std::int32_t (\w+) = (-?\d+);(.*)")
WIN32_NAME = re.compile(r"\b(ERROR_\w+)\b")
# Below this a number is too common to be told apart from a size or a count;
# such a code is caught by its Win32 name only.
SMALLEST_SPELT_NUMBER = 100


def read_codes(header):
    """(name, value, Win32 name or None) for each code, the Win32 name from
    the code's own line or the comment just above it."""
    codes = []
    comment = []
    with open(header, encoding="utf-8") as f:
        for line in f:
            if line.startswith("//"):
                comment.append(line)
                continue
            match = CONSTANT.match(line)
            if match:
                names = WIN32_NAME.findall(match.group(3) + "".join(comment))
                codes.append((match.group(1), int(match.group(2)), names[-1] if names else None))
            comment = []
    return codes


def spellings(value, win32_name):
    patterns = []
    if win32_name:
        patterns.append(r"\b%s\b" % win32_name)
    if value >= SMALLEST_SPELT_NUMBER:
        patterns.append(r"(?<![\w.])%d\b" % value)
        patterns.append(r"\b0[xX]0*%x\b" % value)
    return re.compile("|".join(patterns), re.I) if patterns else None


def main():
    root = sys.argv[1]
    launcher = os.path.join(root, "Launcher")
    header = os.path.join(launcher, "Common", "ResultCodes.h")
    codes = read_codes(header)
    if not codes:
        print("no result codes read from %s" % header)
        return 1
    checks = [(name, spellings(value, win32)) for name, value, win32 in codes]
    sources = [os.path.join(folder, file) for folder, _, files in os.walk(launcher) for file in files
               if file.endswith((".h", ".cpp", ".rc", ".in")) and file != "ResultCodes.h"]
    if not sources:
        print("no sources under %s" % launcher)
        return 1
    found = 0
    for path in sorted(sources):
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                for name, pattern in checks:
                    if pattern and pattern.search(line):
                        print("%s:%d: spells %s: %s" % (os.path.relpath(path, root), number, name, line.strip()))
                        found += 1
    print("%d result codes checked in %d files, %d second spellings" % (len(codes), len(sources), found))
    return 1 if found else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except OSError as error:
        print(error)
        sys.exit(1)
