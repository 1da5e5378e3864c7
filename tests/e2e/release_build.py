#!/usr/bin/python3
"""What a release engineer relies on, checked on real builds of the shipped
launcher in build folders of their own, all embedding one set of payload
files:

  reproducible  two fresh builds in two folders give the same bytes, with no
                link time and no folder of the build in the file, and a
                correct PE checksum
  signed        the second build, signed with a throw-away code-signing
                certificate made here, verifies; it differs from the unsigned
                file only in the checksum, the certificate table entry and
                the signature appended, so resources and version block are
                untouched. The signed file is copied to --output.
  vendor        the first build, configured again with the values of the
                README's vendor configure line (its /release files replaced
                by the payloads given, an icon, a legacy uninstaller and a
                signing command made here), carries them, verifies by the
                README's verify line, and never looked up wixl or built the
                demo payloads; with a signing command that fails, the build
                fails and leaves no executable.

usage: release_build.py reproducible|signed|vendor --source DIR --work DIR --toolchain FILE
           [--generator NAME] [--define NAME=VALUE...] [--output FILE]
"""
import argparse
import os
import shlex
import shutil
import struct
import subprocess
import sys

import pefile

FOLDERS = ("first", "second-build")
EXE = "InstallerLauncher.exe"


def run(command, **kwargs):
    print("+ " + " ".join(command), flush=True)
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL, **kwargs)


def build(args, folder, defines=()):
    run(["cmake", "-S", args.source, "-B", folder, "-G", args.generator,
         "-DCMAKE_TOOLCHAIN_FILE=" + args.toolchain, "-DCMAKE_BUILD_TYPE=Release"]
        + ["-D" + d for d in list(args.define) + list(defines)], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", folder, "--target", "InstallerLauncher", "-j2"], stdout=subprocess.DEVNULL)
    with open(os.path.join(folder, EXE), "rb") as f:
        return f.read()


def traces_of(folder, data):
    """Places where the folder's path appears in the file, narrow or wide."""
    return [form for form in (folder.encode(), folder.encode("utf-16-le")) if form in data]


def check_header(data, failures, name):
    pe = pefile.PE(data=data)
    if pe.FILE_HEADER.TimeDateStamp != 0:
        failures.append("%s: link time %#x in the PE header" % (name, pe.FILE_HEADER.TimeDateStamp))
    if not pe.verify_checksum():
        failures.append("%s: PE checksum %#x, the file's is %#x"
                        % (name, pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()))
    return pe


def reproducible(args):
    failures = []
    builds = {}
    for name in FOLDERS:
        folder = os.path.join(args.work, name)
        shutil.rmtree(folder, ignore_errors=True)
        builds[folder] = build(args, folder)
        check_header(builds[folder], failures, name)
    (first, one), (second, two) = builds.items()
    if one != two:
        differing = sum(1 for a, b in zip(one, two) if a != b) + abs(len(one) - len(two))
        failures.append("the two builds differ in %d bytes (sizes %d and %d)" % (differing, len(one), len(two)))
    for folder in (first, second, args.source):
        if traces_of(folder, one) or traces_of(folder, two):
            failures.append("a build holds the folder %s" % folder)
    print("%s: %d bytes in both folders%s" % (EXE, len(one), "" if one != two else ", identical"))
    return failures


def make_certificate(keys):
    """A self-signed code-signing certificate and key in a password-protected
    PKCS#12 file, valid for a day."""
    shutil.rmtree(keys, ignore_errors=True)
    os.makedirs(keys)
    paths = {name: os.path.join(keys, name) for name in ("key.pem", "cert.pem", "signing.p12", "password")}
    paths["folder"] = keys
    with open(paths["password"], "w") as f:
        f.write("throw-away password\n")
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
         "-subj", "/CN=Throw-away Code Signing/O=Pellond", "-addext", "extendedKeyUsage=codeSigning",
         "-keyout", paths["key.pem"], "-out", paths["cert.pem"]], stderr=subprocess.DEVNULL)
    run(["openssl", "pkcs12", "-export", "-inkey", paths["key.pem"], "-in", paths["cert.pem"],
         "-out", paths["signing.p12"], "-passout", "file:" + paths["password"]])
    return paths


def readme_command(args, start, holding):
    """The words of the README's first command that starts with start and
    holds holding, its continued lines joined."""
    with open(os.path.join(args.source, "README.md")) as f:
        lines = f.read().replace("\\\n", " ").splitlines()
    for line in lines:
        if line.strip().startswith(start) and holding in line:
            return shlex.split(line)
    raise RuntimeError("the README has no command %r with %r" % (start, holding))


def verify(args, certificate, exe):
    """Runs the README's osslsigncode verify line on exe, trusting certificate."""
    words = readme_command(args, "osslsigncode verify", "-CAfile")
    words[words.index("-CAfile") + 1] = certificate
    words[words.index("-in") + 1] = exe
    verified = subprocess.run(words, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    print(verified.stdout)
    return [] if verified.returncode == 0 else ["%s failed: %s" % (" ".join(words), verified.stderr.strip())]


def header_fields(pe):
    """File offsets of the fields signing may change: the checksum and the
    certificate table entry."""
    checksum = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    table = security.get_file_offset()
    return [(checksum, 4), (table, 8)]


def blank(data, fields):
    data = bytearray(data)
    for offset, size in fields:
        data[offset:offset + size] = bytes(size)
    return bytes(data)


def signed(args):
    failures = []
    folder = os.path.join(args.work, FOLDERS[1])
    with open(os.path.join(folder, EXE), "rb") as f:
        unsigned = f.read()
    keys = make_certificate(os.path.join(args.work, "keys"))
    data = build(args, folder, ["LAUNCHER_SIGNING_PKCS12=" + keys["signing.p12"],
                                "LAUNCHER_SIGNING_PASSWORD_FILE=" + keys["password"]])
    pe = check_header(data, failures, "signed")
    failures += verify(args, keys["cert.pem"], os.path.join(folder, EXE))
    fields = header_fields(pe)
    table = struct.unpack_from("<II", data, fields[1][0])
    if table[0] < len(unsigned):
        failures.append("the signature at %d does not follow the unsigned file's %d bytes" % (table[0], len(unsigned)))
    if blank(data[:len(unsigned)], fields) != blank(unsigned, fields):
        failures.append("signing changed the file beyond the checksum and the certificate table entry")
    os.makedirs(os.path.dirname(args.output), exist_ok=True)
    shutil.copy(os.path.join(folder, EXE), args.output)
    print("signed %s: %d bytes, signature of %d bytes appended" % (EXE, len(data), table[1]))
    return failures


def write_script(path, text):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + text + "\n")
    os.chmod(path, 0o755)


def write_icon(path):
    """A one-colour 16-pixel icon, unlike the drawn one."""
    image = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0) + b"\x20\x80\xe0\xff" * 256 + bytes(64)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHHBBBBHHII", 0, 1, 1, 16, 16, 0, 0, 1, 32, len(image), 22) + image)


def vendor(args):
    failures = []
    folder = os.path.join(args.work, FOLDERS[0])
    keys = make_certificate(os.path.join(args.work, "vendor-keys"))
    given = dict(d.split("=", 1) for d in args.define)
    stand_ins = {"/release/sign.sh": os.path.join(keys["folder"], "sign.sh"),
                 "/release/tavrin.ico": os.path.join(keys["folder"], "tavrin.ico"),
                 "/release/vq_isu.exe": given["LAUNCHER_PAYLOAD_VC2005_REDIST_32"]}
    write_script(stand_ins["/release/sign.sh"],
                 'osslsigncode sign -pkcs12 "%s" -readpass "%s" -h sha256 -in "$1" -out "$1.signed" && mv "$1.signed" "$1"'
                 % (keys["signing.p12"], keys["password"]))
    write_icon(stand_ins["/release/tavrin.ico"])
    values = {}
    for word in readme_command(args, "cmake --preset windows-x86", "-DVENDOR_DISPLAY_NAME"):
        if word.startswith("-D"):
            name, value = word[2:].split("=", 1)
            for release, stand_in in stand_ins.items():
                value = value.replace(release, stand_in)
            values[name] = given.get(name, value)
    build(args, folder, ["%s=%s" % item for item in values.items()])

    cache = open(os.path.join(folder, "CMakeCache.txt")).read()
    if "WIXL:" in cache or os.path.exists(os.path.join(folder, "payloads")):
        failures.append("the vendor's build looked up wixl or made the demo payloads")
    exe = os.path.join(folder, EXE)
    checked = subprocess.run(
        ["/usr/bin/python3", os.path.join(os.path.dirname(__file__), "check_executable.py"), exe,
         "--payloads", "VC2005_REDIST_32:EXE", "VC2005_REDIST_64:EXE", "MSI32:MSI", "MSI64:MSI", "MSI_WIN10_32:MSI",
         "MSI_WIN10_64:MSI", "UNINST:EXE", "--prompt", values["PROMPT_TEXT"], values["PROMPT_CAPTION"],
         "--version-block", values["VENDOR_DISPLAY_NAME"], values["PRODUCT_DISPLAY_NAME"], values["PRODUCT_VERSION"],
         values["PRODUCT_LEGAL_NOTICE"], "--icon", values["PRODUCT_ICON"],
         "--contains-text", values["PRODUCT_FOLDER_NAME"]]
        + ["--contains-text=" + name for name in values["PROCESS_NAMES"].split(";")],
        stdin=subprocess.DEVNULL)
    if checked.returncode != 0:
        failures.append("the vendor's executable does not carry the README's values")
    failures += verify(args, keys["cert.pem"], exe)

    failing = os.path.join(keys["folder"], "sign-fails.sh")
    write_script(failing, 'echo "half-signed" >> "$1"; exit 1')
    try:
        build(args, folder, ["LAUNCHER_SIGNING_COMMAND=%s;{file}" % failing])
        failures.append("the build succeeded although its signing command failed")
    except subprocess.CalledProcessError:
        pass
    left = [name for name in os.listdir(folder) if name.startswith(EXE)]
    if left:
        failures.append("a failed signing command left %s" % left)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=["reproducible", "signed", "vendor"])
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--toolchain", required=True)
    parser.add_argument("--generator", default="Unix Makefiles")
    parser.add_argument("--define", action="append", default=[], help="cache variable NAME=VALUE")
    parser.add_argument("--output", help="where the signed check puts the signed file")
    args = parser.parse_args()
    args.source, args.work = os.path.abspath(args.source), os.path.abspath(args.work)
    failures = {"reproducible": reproducible, "signed": signed, "vendor": vendor}[args.check](args)
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
