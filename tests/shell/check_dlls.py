#!/usr/bin/python3
"""Inspects the three builds (x86_64, i686, ARM64) of Larkspindle.dll and
of LarkspindleUndo.exe as PE files:
exports, imports, resources; and that they and the setup program name the product's
facts as the build gives them.

  check_dlls.py --product NAME --publisher NAME --copyright TEXT --description TEXT --undo-title TEXT
                --arm64 ARM64_DLL ARM64_UNDO X86_64_DLL I686_DLL VERSION X86_64_UNDO I686_UNDO SETUP_EXE
"""
import argparse
import os
import re
import struct
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from checks import Checks  # noqa: E402

CHECKS = Checks("pe-files")
check = CHECKS.check
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def identifiers(*headers):
    """{name: number} of the plain '#define kName N' lines of headers in the tree: each
    resource identifier is written once, where the resource compiler and C++ read it."""
    found = {}
    for header in headers:
        with open(os.path.join(ROOT, header), encoding="utf-8") as text:
            for name, number in re.findall(r"^#define (k\w+) (\d+)$", text.read(), re.MULTILINE):
                found[name] = int(number)
    return found


IDS = identifiers("shell/resource_ids.h", "engine/page_controls.h")
UNDO_IDS = identifiers("undo/undo_ids.h")


def resources(pe):
    """{(type, id): (language, bytes)} for every resource."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        kind_name = str(kind.name) if kind.name else kind.id
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                found[(kind_name, entry.id)] = (language.id, data)
    return found


# The runtime DLLs of mingw's gcc and of Zig's clang, which the builds link in instead.
RUNTIMES = ("libgcc", "libstdc++", "libwinpthread", "libc++", "libunwind")


def inspect(path, machine, architecture):
    pe = pefile.PE(path)
    check(f"{path} machine", machine, pe.FILE_HEADER.Machine)
    check(f"{path} exports", ["DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"],
          sorted(e.name.decode() for e in pe.DIRECTORY_ENTRY_EXPORT.symbols))
    dlls = sorted(i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT)
    check(f"{path} no mingw runtime", [], [d for d in dlls if d.startswith(RUNTIMES)])
    check(f"{path} comctl32 not imported", [], [d for d in dlls if d.startswith("comctl32")])
    found = resources(pe)
    # RT_DIALOG 5, RT_GROUP_ICON 14 with its images RT_ICON 3 (1 and 2), the string bundle
    # (RT_STRING 6) holding the name, RT_VERSION 16, RT_MANIFEST 24.
    bundle = IDS["kProductNameString"] // 16 + 1
    check(f"{path} resources", sorted([("REGISTRY", IDS["kRegistryScript"]), (5, IDS["kRenamePageDialog"]),
                                       (5, IDS["kResultsDialog"]), (14, IDS["kPageIcon"]), (3, 1), (3, 2), (6, bundle),
                                       (16, IDS["kVersionResource"]), (24, IDS["kManifestResource"])], key=str),
          sorted(found, key=str))
    check(f"{path} all neutral", {0}, {language for language, _ in found.values()})
    script = found[("REGISTRY", IDS["kRegistryScript"])][1].decode("ascii")
    check(f"{path} script names the module", True, "%MODULE%" in script and "ThreadingModel" in script)
    group = found[(14, IDS["kPageIcon"])][1]
    count = struct.unpack_from("<HHH", group)[2]
    sizes = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
    check(f"{path} icon sizes and colours", [(32, 32, 16, 4), (16, 16, 16, 4)], [(w, h, c, bits) for w, h, c, _, _, bits, _, _ in sizes])
    strings = found[(6, bundle)][1]
    # a bundle holds 16 strings, each its length and its text; skip those before the name
    at = 0
    for _ in range(IDS["kProductNameString"] % 16):
        at += 2 + 2 * struct.unpack_from("<H", strings, at)[0]
    length = struct.unpack_from("<H", strings, at)[0]
    check(f"{path} product name string", FACTS.product, strings[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
    manifest = found[(24, IDS["kManifestResource"])][1].decode("utf-8")
    check(f"{path} manifest architecture", 2, manifest.count(f'processorArchitecture="{architecture}"'))
    check(f"{path} manifest names common controls 6", True, 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in manifest)
    check(f"{path} manifest description", True, f"<description>{FACTS.description}</description>" in manifest)
    version = pe.VS_FIXEDFILEINFO[0]
    parts = [int(p) for p in VERSION.split(".")]
    check(f"{path} file version", (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]),
          (version.FileVersionMS, version.FileVersionLS))
    strings = version_strings(pe)
    check(f"{path} version strings", (FACTS.description, ", ".join(VERSION.split(".")), "Larkspindle.dll"),
          (strings.get("FileDescription"), strings.get("FileVersion"), strings.get("OriginalFilename")))
    check_maker(path, strings)


def inspect_undo(path, machine, architecture):
    """The Undo program: its architecture, a window program needing no runtime DLL and no
    elevation, the results dialog it shares with the DLL, and its version."""
    pe = pefile.PE(path)
    check(f"{path} machine", machine, pe.FILE_HEADER.Machine)
    check(f"{path} a window program", 2, pe.OPTIONAL_HEADER.Subsystem)
    dlls = sorted(i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT)
    check(f"{path} no mingw runtime", [], [d for d in dlls if d.startswith(RUNTIMES)])
    found = resources(pe)
    check(f"{path} dialogs", True, {(5, UNDO_IDS["kRunsDialog"]), (5, IDS["kResultsDialog"])} <= set(found))
    manifest = found[(24, UNDO_IDS["kUndoManifest"])][1].decode("utf-8")
    check(f"{path} manifest", (2, True, True, True), (manifest.count(f'processorArchitecture="{architecture}"'),
                                                     'level="asInvoker"' in manifest, "Common-Controls" in manifest,
                                                     f"<description>{FACTS.undo_title}</description>" in manifest))
    strings = version_strings(pe)
    check(f"{path} version strings", (FACTS.undo_title, ", ".join(VERSION.split(".")), "LarkspindleUndo.exe"),
          (strings.get("FileDescription"), strings.get("FileVersion"), strings.get("OriginalFilename")))
    check_maker(path, strings)


def version_strings(pe):
    return {k.decode(): v.decode() for table in pe.FileInfo[0] if hasattr(table, "StringTable")
            for st in table.StringTable for k, v in st.entries.items()}


def check_maker(path, strings):
    """The product, publisher and copyright that a file's Properties show."""
    check(f"{path} product, publisher and copyright", (FACTS.product, FACTS.publisher, FACTS.copyright),
          (strings.get("ProductName"), strings.get("CompanyName"), strings.get("LegalCopyright")))


arguments = argparse.ArgumentParser()
for fact in ("--product", "--publisher", "--copyright", "--description", "--undo-title"):
    arguments.add_argument(fact, required=True)
arguments.add_argument("--arm64", nargs=2, metavar=("ARM64_DLL", "ARM64_UNDO"), required=True)
arguments.add_argument("files", nargs=6)
FACTS = arguments.parse_args()
DLL64, DLL32, VERSION, UNDO64, UNDO32, SETUP = FACTS.files
inspect(DLL64, 0x8664, "amd64")
inspect(DLL32, 0x14C, "X86")
inspect_undo(UNDO64, 0x8664, "amd64")
inspect_undo(UNDO32, 0x14C, "X86")
inspect(FACTS.arm64[0], 0xAA64, "arm64")
inspect_undo(FACTS.arm64[1], 0xAA64, "arm64")
setup = version_strings(pefile.PE(SETUP))
check_maker(SETUP, setup)
check(f"{SETUP} version", VERSION, setup.get("ProductVersion"))
sys.exit(CHECKS.finish())
