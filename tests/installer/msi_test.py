#!/usr/bin/env python3
"""The Windows Installer package under Wine's msiexec, on a 64-bit system with the 32-bit
subsystem: a silent install whose registration equals regsvr32's in both registry views
(registered by regsvr32 in a second prefix), each build's page in a Properties sheet, an
upgrade from an older package in place, a repair that restores a deleted DLL, and an
uninstall after which the registry and drive C are as they were.

    msi_test.py --version V --clsid {GUID} PREFIX MSI STAGE DLL64 DLL32 CLIENT64 CLIENT32

STAGE is the folder the build made the package in; the test makes an older package
from it with wixl.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from wine_prefix import (CLASSES, UNINSTALL, WHOLE_REGISTRY, WinePrefix, differences, enter_session, reg_text,
                         same_bytes, windows_path)

arguments = argparse.ArgumentParser()
arguments.add_argument("--version", required=True)
arguments.add_argument("--clsid", required=True)
arguments.add_argument("files", nargs=7)
ARGS = arguments.parse_args()
VERSION, CLSID = ARGS.version, ARGS.clsid
PREFIX, MSI, STAGE, DLL64, DLL32, CLIENT64, CLIENT32 = (os.path.abspath(a) for a in ARGS.files)
enter_session("wow64", PREFIX)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from checks import Checks  # noqa: E402

SCRATCH = tempfile.mkdtemp(prefix="lark-msi-")
WINE_PREFIX = WinePrefix(PREFIX, SCRATCH)
CHECKS = Checks("msi")
check = CHECKS.check
FOLDER = r"C:\Program Files\Larkspindle"
INSTALLED = {64: FOLDER + r"\Larkspindle.dll", 32: FOLDER + r"\x86\Larkspindle.dll"}
UNDO = {64: FOLDER + r"\LarkspindleUndo.exe", 32: FOLDER + r"\x86\LarkspindleUndo.exe"}
SHORTCUT = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Undo a Larkspindle rename.lnk"
# What an install can touch: registration, Add/Remove Programs, and the installer's own
# records of products, features, components and cached packages.
TOUCHED_KEYS = (
    CLASSES + r"\*",
    CLASSES + r"\Directory",
    CLASSES + rf"\CLSID\{CLSID}",
    CLASSES + r"\Wow6432Node",
    CLASSES + r"\Installer",
    UNINSTALL,
    r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer",
    r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Shell Extensions",
    r"HKEY_CURRENT_USER\Software",
)


def timed(what, *args):
    """Runs msiexec silently; its exit code, with the time it took printed."""
    started = time.monotonic()
    status = WINE_PREFIX.wine("msiexec", *args, "/qn")
    print(f"msi: {what} took {time.monotonic() - started:.1f} s")
    return status


def older_package():
    """The same package at an older version, with DLLs that differ from the build's by a
    byte past their end, so that an upgrade can be seen to replace them."""
    stage = os.path.join(SCRATCH, "older")
    shutil.copytree(STAGE, stage)
    for dll in ("x64/Larkspindle.dll", "x86/Larkspindle.dll"):
        with open(os.path.join(stage, dll), "ab") as f:
            f.write(b"\0")
    version = "0.9.0.0"
    assert tuple(map(int, version.split("."))) < tuple(map(int, VERSION.split(".")))[:4]
    subprocess.run(["wixl", "-a", "x64", "-D", f"Version={version}", "-D", "UpgradeCode=" + upgrade_code(),
                    "-D", "SiteUrl=http://older.example/", "-o", "older.msi", "larkspindle.wxs"],
                   cwd=stage, check=True, stderr=subprocess.DEVNULL)
    return os.path.join(stage, "older.msi")


def upgrade_code():
    run = subprocess.run(["msiinfo", "export", MSI, "Property"], check=True, stdout=subprocess.PIPE)
    for line in run.stdout.decode("utf-8").splitlines():
        if line.startswith("UpgradeCode\t"):
            return line.split("\t")[1]
    raise RuntimeError("the package has no UpgradeCode")


def products(snapshot):
    """Add/Remove Programs entries named Larkspindle: {key: DisplayVersion}."""
    return {key: reg_text(values.get("DisplayVersion", '""')) for key, values in snapshot.items()
            if key.startswith(UNINSTALL + "\\") and values.get("DisplayName") == '"Larkspindle"'}


def clean_copy():
    """A second prefix, copied from this one before anything is installed."""
    other = WinePrefix(PREFIX + "-regsvr32", SCRATCH)
    shutil.rmtree(other.path, ignore_errors=True)
    shutil.copytree(PREFIX, other.path, symlinks=True)
    return other


def registered_by_regsvr32(other):
    """Both registry views of the second prefix once each DLL, put where the package puts
    it, was registered by the regsvr32 of its own architecture."""
    other.start()
    for view, dll in INSTALLED.items():
        os.makedirs(os.path.dirname(other.unix_path(dll)), exist_ok=True)
        shutil.copy(DLL64 if view == 64 else DLL32, other.unix_path(dll))
    check("regsvr32, 64-bit", 0, other.wine(r"C:\windows\system32\regsvr32.exe", "/s", INSTALLED[64]))
    check("regsvr32, 32-bit", 0, other.wine(r"C:\windows\syswow64\regsvr32.exe", "/s", INSTALLED[32]))
    views = {view: other.registration(CLSID, view) for view in (64, 32)}
    other.stop()
    shutil.rmtree(other.path)
    return views


def main():
    whole_clean = WINE_PREFIX.registry(WHOLE_REGISTRY)
    clean_registry, clean_files = WINE_PREFIX.registry(TOUCHED_KEYS), WINE_PREFIX.files()
    other = clean_copy()
    package = windows_path(MSI)

    # An older package first, then this one over it: one product afterwards, this
    # version, with this build's files.
    check("install of an older package", 0, timed("install of the older package", "/i", windows_path(older_package())))
    check("the older package's DLL", False, same_bytes(DLL64, WINE_PREFIX.unix_path(INSTALLED[64])))
    check("upgrade", 0, timed("upgrade", "/i", package))
    installed = WINE_PREFIX.registry(TOUCHED_KEYS)
    check("one entry in Add/Remove Programs, of this version", [VERSION], list(products(installed).values()))
    for view, dll in INSTALLED.items():
        check(f"{view}-bit DLL replaced by this build's", True,
              same_bytes(DLL64 if view == 64 else DLL32, WINE_PREFIX.unix_path(dll)))

    for view, program in UNDO.items():
        staged = os.path.join(STAGE, "x64" if view == 64 else "x86", "LarkspindleUndo.exe")
        check(f"{view}-bit Undo program", True, same_bytes(staged, WINE_PREFIX.unix_path(program)))
    check("the Undo program's Start menu entry", True, os.path.isfile(WINE_PREFIX.unix_path(SHORTCUT)))

    # The package's own rows hold what regsvr32 writes, in both views.
    by_regsvr32 = registered_by_regsvr32(other)
    for view, dll in INSTALLED.items():
        expected = {"* handler": CLSID, "Directory handler": CLSID, "class": "Larkspindle Class", "server": dll,
                    "threading model": "Apartment", "approved": "Larkspindle"}
        check(f"regsvr32's registration, {view}-bit view", expected, by_regsvr32[view])
        check(f"the package's registration, {view}-bit view", by_regsvr32[view], WINE_PREFIX.registration(CLSID, view))

    check("a 64-bit program's sheet shows the x64 DLL's page", 0, WINE_PREFIX.shows_page_of(CLIENT64, INSTALLED[64]))
    check("a 32-bit program's sheet shows the x86 DLL's page", 0, WINE_PREFIX.shows_page_of(CLIENT32, INSTALLED[32]))

    # A repair puts back a DLL that was deleted. Wine's msiexec has no /f ("Product code
    # treatment not implemented yet"); its properties are what /fa sets.
    os.remove(WINE_PREFIX.unix_path(INSTALLED[32]))
    check("repair", 0, timed("repair", "/i", package, "REINSTALL=ALL", "REINSTALLMODE=a"))
    check("the deleted DLL is back", True, same_bytes(DLL32, WINE_PREFIX.unix_path(INSTALLED[32])))

    check("uninstall", 0, timed("uninstall", "/x", package))
    # Windows Installer keeps its own containers of products and components, and Wine's
    # prunes a key that the package's value was the last thing in (a fresh prefix's empty
    # Shell Extensions\Approved among them): keys that hold nothing may come and go.
    check("registry after the uninstall", [],
          differences(clean_registry, WINE_PREFIX.registry(TOUCHED_KEYS), empty_keys_count=False))
    check("whole registry after the uninstall", [],
          differences(whole_clean, WINE_PREFIX.registry(WHOLE_REGISTRY), empty_keys_count=False))
    # The installer's cache folder may stay, empty; the sheets' update check leaves
    # WinINet's cookie index.
    left = {path for path in WINE_PREFIX.files() ^ clean_files
            if path != os.path.join("windows", "Installer") and not path.endswith(os.path.join("INetCookies", "index.dat"))}
    check("drive C after the uninstall", [], sorted(left))
    check("the installer's cache is empty", [], os.listdir(WINE_PREFIX.unix_path(r"C:\windows\Installer")))
    print(f"msi: the package is {os.path.getsize(MSI)} bytes")
    shutil.rmtree(SCRATCH)
    return CHECKS.finish()


if __name__ == "__main__":
    sys.exit(main())
