#!/usr/bin/python3
"""Reads a built launcher and checks what Windows and the shell see of it: a
32-bit GUI program that imports only DLLs nobody can plant beside it, whose resources are the payload catalogue, the prompt
strings when the build carries them, the manifest, the version block and the
icon.

usage: check_executable.py EXE --payloads NAME:TYPE... [--prompt TEXT CAPTION] [--without-windows-10]
                           [--contains-text TEXT]... [--version-block COMPANY PRODUCT VERSION NOTICE]
                           [--icon FILE]

--version-block and --icon name a vendor's values; by default the version
block and the drawn icon every build carried before.

--contains-text checks that the UTF-16 form of a build value (a settings key
name, a folder name) lies in the file exactly as given.
"""
import argparse
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

ENGLISH_US = 1033
RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 14, 16, 24
SUPPORTED_OS = [
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
]
DEFAULT_VERSION_BLOCK = ["Pellond", "TAVRIN Driver Installer", "1.0.5.29764",
                         "Copyright (C) Pellond. All rights reserved."]


def version_strings(company, product, version, notice):
    return [("CompanyName", company), ("FileDescription", product), ("InternalName", "Installer Launcher"),
            ("OriginalFilename", "InstallerLauncher.exe"), ("ProductName", product), ("FileVersion", version),
            ("ProductVersion", version.rsplit(".", 1)[0]), ("LegalCopyright", notice)]


# What the launcher may import: DLLs Windows loads only from the system folder
# (its known DLLs) and the common controls that the manifest binds side by
# side. Anything else would be looked for beside the launcher first, in a
# downloads folder, where anybody can plant a DLL of that name.
ALLOWED_IMPORTS = {
    "kernel32.dll", "advapi32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "rpcrt4.dll", "msvcrt.dll", "shlwapi.dll", "comdlg32.dll", "sechost.dll", "imm32.dll", "comctl32.dll",
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def resources(pe):
    """{(type, name): [(language, data)]} with string names as text."""
    found = {}
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_key = str(type_entry.name) if type_entry.name is not None else type_entry.id
        for name_entry in type_entry.directory.entries:
            name_key = str(name_entry.name) if name_entry.name is not None else name_entry.id
            for language in name_entry.directory.entries:
                rva, size = language.data.struct.OffsetToData, language.data.struct.Size
                found.setdefault((type_key, name_key), []).append((language.id, pe.get_data(rva, size)))
    return found


def string_table_entries(found):
    entries = {}
    for (type_key, block), items in found.items():
        if type_key != RT_STRING:
            continue
        data = items[0][1]
        offset = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", data, offset)
            offset += 2
            text = data[offset:offset + 2 * length].decode("utf-16-le")
            offset += 2 * length
            if length:
                entries[(block - 1) * 16 + index] = text
    return entries


def check_manifest(data, without_windows_10):
    root = ET.fromstring(data)
    ns = {"a1": "urn:schemas-microsoft-com:asm.v1", "a3": "urn:schemas-microsoft-com:asm.v3",
          "c": "urn:schemas-microsoft-com:compatibility.v1",
          "ws": "http://schemas.microsoft.com/SMI/2005/WindowsSettings"}
    check(root.get("manifestVersion") == "1.0", "manifestVersion is not 1.0")
    identity = root.find("a1:dependency/a1:dependentAssembly/a1:assemblyIdentity", ns)
    expected = {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                "processorArchitecture": "x86", "publicKeyToken": "6595b64144ccf1df", "language": "*"}
    check(identity is not None and all(identity.get(k) == v for k, v in expected.items()),
          "common-controls 6.0.0.0 x86 dependency missing or different")
    level = root.find("a3:trustInfo/a3:security/a3:requestedPrivileges/a3:requestedExecutionLevel", ns)
    check(level is not None and level.get("level") == "requireAdministrator" and level.get("uiAccess") == "false",
          "requestedExecutionLevel is not requireAdministrator without uiAccess")
    dpi = root.find("a3:application/a3:windowsSettings/ws:dpiAware", ns)
    check(dpi is not None and dpi.text == "true", "dpiAware true in the 2005 namespace missing")
    ids = [e.get("Id") for e in root.findall("c:compatibility/c:application/c:supportedOS", ns)]
    check(ids == (SUPPORTED_OS[1:] if without_windows_10 else SUPPORTED_OS), "supportedOS entries are %s" % ids)


def check_version(pe, block):
    fixed = pe.VS_FIXEDFILEINFO[0]
    parts = [int(part) for part in block[2].split(".")]
    words = (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])
    check((fixed.FileVersionMS, fixed.FileVersionLS) == words, "fixed FileVersion")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == words, "fixed ProductVersion")
    check(fixed.FileFlagsMask == 0x17 and fixed.FileFlags == 0, "file flags")
    check(fixed.FileOS == 4 and fixed.FileType == 1 and fixed.FileSubtype == 0, "FileOS, FileType, FileSubtype")
    check(fixed.FileDateMS == 0 and fixed.FileDateLS == 0, "file date")
    tables = [t for info in pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
    check(len(tables) == 1 and tables[0].LangID == b"040904b0", "string block 040904b0")
    if tables:
        items = [(k.decode(), v.decode()) for k, v in tables[0].entries.items()]
        check(items == version_strings(*block), "version strings are %s" % items)
    translations = [v for info in pe.FileInfo[0] if info.Key == b"VarFileInfo" for v in info.Var]
    check(any(v.entry.get(b"Translation") == "0x0409 0x04b0" for v in translations), "Translation 0x0409, 1200")


def icon_file_images(path):
    """The images of an .ico file, in its order."""
    with open(path, "rb") as file:
        data = file.read()
    _, _, count = struct.unpack_from("<HHH", data, 0)
    entries = [struct.unpack_from("<II", data, 6 + 16 * i + 8) for i in range(count)]
    return [data[offset:offset + size] for size, offset in entries]


def check_icon(found, icon_file):
    groups = found.get((RT_GROUP_ICON, 101))
    check(groups is not None, "icon group 101 missing")
    if not groups:
        return
    data = groups[0][1]
    _, _, count = struct.unpack_from("<HHH", data, 0)
    sizes = []
    images = []
    for i in range(count):
        width, height, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        sizes.append((width, height, bits))
        images.append(found.get((RT_ICON, icon_id), [(0, None)])[0][1])
        check((RT_ICON, icon_id) in found, "icon image %d missing" % icon_id)
    if icon_file:
        check(images == icon_file_images(icon_file), "the icon is not %s" % icon_file)
    else:
        check(sizes == [(128, 128, 32), (48, 48, 32), (32, 32, 32), (16, 16, 32)], "icon images are %s" % sizes)


def check_imports(pe):
    imported = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    check(imported <= ALLOWED_IMPORTS, "imports DLLs that could be planted beside it: %s"
          % sorted(imported - ALLOWED_IMPORTS))
    check(not hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"), "delay-loads DLLs, which are found at run time")


# What the launcher is without what it carries. Administrators push it to
# thousands of machines, and its payloads are the vendor's; the code, its
# tables and the runtime it links are ours. The build keeps them small on
# purpose (Launcher/Common/CMakeLists.txt says how and what each way saves):
# losing one of those ways shows here, not first on a fleet. The limit leaves
# a kilobyte of room over a build that uses every behaviour setting (132 KB):
# any way that saves more shows when it is lost.
STUB_LIMIT = 133 * 1024


def check_stub_size(pe, whole):
    resources = sum(s.SizeOfRawData for s in pe.sections if s.Name.rstrip(b"\0") == b".rsrc")
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]].Size
    stub = whole - resources - security
    check(stub <= STUB_LIMIT, "the stub (file minus resources and signature) is %d bytes, over %d" % (stub, STUB_LIMIT))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--payloads", nargs="*", default=[])
    parser.add_argument("--prompt", nargs=2, metavar=("TEXT", "CAPTION"))
    parser.add_argument("--without-windows-10", action="store_true")
    parser.add_argument("--contains-text", action="append", default=[])
    parser.add_argument("--version-block", nargs=4, default=DEFAULT_VERSION_BLOCK,
                        metavar=("COMPANY", "PRODUCT", "VERSION", "NOTICE"))
    parser.add_argument("--icon")
    args = parser.parse_args()

    pe = pefile.PE(args.exe)
    check(pe.FILE_HEADER.Machine == 0x14C, "machine is not i386")
    check(pe.OPTIONAL_HEADER.Subsystem == 2, "subsystem is not the Windows GUI")
    check_imports(pe)
    found = resources(pe)
    payloads = {}
    for (type_key, name_key), items in found.items():
        if type_key in ("EXE", "MSI"):
            payloads[name_key] = type_key
            check([lang for lang, _ in items] == [ENGLISH_US], "%s is not stored under language 1033" % name_key)
    expected = dict(p.split(":") for p in args.payloads)
    check(payloads == expected, "payloads are %s, not %s" % (payloads, expected))
    strings = string_table_entries(found)
    expected_strings = {500: args.prompt[0], 501: args.prompt[1]} if args.prompt else {}
    check(strings == expected_strings, "string resources are %r, not %r" % (strings, expected_strings))
    manifests = found.get((RT_MANIFEST, 1), [])
    check(len(manifests) == 1 and manifests[0][0] == ENGLISH_US, "manifest 1 missing")
    if manifests:
        check_manifest(manifests[0][1], args.without_windows_10)
    check_version(pe, args.version_block)
    check_icon(found, args.icon)
    with open(args.exe, "rb") as file:
        image = file.read()
    check_stub_size(pe, len(image))
    for text in args.contains_text:
        check(text.encode("utf-16-le") + b"\0\0" in image, "text %r not stored as UTF-16" % text)

    for failure in failures:
        print("FAIL: " + failure)
    print("%s: %s" % (args.exe, "checked" if not failures else "%d failures" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
