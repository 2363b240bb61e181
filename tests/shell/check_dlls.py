#!/usr/bin/python3
"""Inspects both builds of Larkspindle.dll as PE files: exports, imports, resources.

  check_dlls.py X86_64_DLL I686_DLL VERSION
"""
import os
import struct
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from checks import Checks  # noqa: E402

CHECKS = Checks("pe-files")
check = CHECKS.check


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


def inspect(path, machine, architecture):
    pe = pefile.PE(path)
    check(f"{path} machine", machine, pe.FILE_HEADER.Machine)
    check(f"{path} exports", ["DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"],
          sorted(e.name.decode() for e in pe.DIRECTORY_ENTRY_EXPORT.symbols))
    dlls = sorted(i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT)
    check(f"{path} no mingw runtime", [], [d for d in dlls if d.startswith(("libgcc", "libstdc++", "libwinpthread"))])
    check(f"{path} comctl32 not imported", [], [d for d in dlls if d.startswith("comctl32")])
    found = resources(pe)
    check(f"{path} resources", sorted([("REGISTRY", 101), (5, 201), (5, 205), (14, 203), (3, 1), (3, 2), (6, 7),
                                       (16, 1), (24, 2)], key=str), sorted(found, key=str))
    check(f"{path} all neutral", {0}, {language for language, _ in found.values()})
    script = found[("REGISTRY", 101)][1].decode("ascii")
    check(f"{path} script names the module", True, "%MODULE%" in script and "ThreadingModel" in script)
    group = found[(14, 203)][1]
    count = struct.unpack_from("<HHH", group)[2]
    sizes = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
    check(f"{path} icon sizes and colours", [(32, 32, 16, 4), (16, 16, 16, 4)], [(w, h, c, bits) for w, h, c, _, _, bits, _, _ in sizes])
    strings = found[(6, 7)][1]
    # bundle 7 holds ids 96..111; skip the four empty strings before 100
    at = 0
    for _ in range(4):
        at += 2 + 2 * struct.unpack_from("<H", strings, at)[0]
    length = struct.unpack_from("<H", strings, at)[0]
    check(f"{path} string 100", "Larkspindle", strings[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
    manifest = found[(24, 2)][1].decode("utf-8")
    check(f"{path} manifest architecture", 2, manifest.count(f'processorArchitecture="{architecture}"'))
    check(f"{path} manifest names common controls 6", True, 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in manifest)
    version = pe.VS_FIXEDFILEINFO[0]
    parts = [int(p) for p in VERSION.split(".")]
    check(f"{path} file version", (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]),
          (version.FileVersionMS, version.FileVersionLS))
    strings = {k.decode(): v.decode() for table in pe.FileInfo[0] if hasattr(table, "StringTable")
               for st in table.StringTable for k, v in st.entries.items()}
    check(f"{path} version strings", ("Larkspindle Shell Extension", ", ".join(VERSION.split(".")), "Larkspindle.dll"),
          (strings.get("FileDescription"), strings.get("FileVersion"), strings.get("OriginalFilename")))


VERSION = sys.argv[3]
inspect(sys.argv[1], 0x8664, "amd64")
inspect(sys.argv[2], 0x14C, "X86")
sys.exit(CHECKS.finish())
