#!/usr/bin/env python3
"""Larkspindle's Windows Installer packages under Wine's msiexec, each in a fresh prefix.

perMachine: a silent install whose registration equals regsvr32's in both registry views,
each build's page in a Properties sheet, an upgrade from an older package in place, a
repair that restores a deleted DLL, the per-user package refused beside it, and an
uninstall after which the registry and drive C are as they were.

perUser: the same without administrator rights: the files in the user's local programs
folder, the registration rows under HKCU equal to the registrar's, none of the product's
rows under HKEY_LOCAL_MACHINE (Windows Installer's own records aside), upgrade, repair,
the per-machine package refused beside it, and the uninstall.

On a 64-bit system with the 32-bit subsystem (the Debian root's Wine) everything runs.
Where this machine runs no 32-bit program, the host's 64-bit Wine runs everything that
needs none (the package's tables hold only files and registry rows): only the x86 page in
a 32-bit program's sheet, and the 32-bit regsvr32 it is compared with, are skipped, and
said so.

    msi_test.py FACTS --scope SCOPE PREFIX MSI OTHER_MSI STAGE DLL64 DLL32 CLIENT64 CLIENT32

FACTS are the build's: --version V --clsid {GUID} --product NAME --publisher NAME --undo-title TEXT.

STAGE is the folder the build made MSI in; the test makes an older package from it.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from wine_prefix import (CLASSES, CMAKE, UNINSTALL, WHOLE_REGISTRY, WinePrefix, differences, enter_session,
                         product_rows, reg_string, reg_text, same_bytes, user_rows, windows_path)

arguments = argparse.ArgumentParser()
arguments.add_argument("--version", required=True)
arguments.add_argument("--clsid", required=True)
for fact in ("--product", "--publisher", "--undo-title"):
    arguments.add_argument(fact, required=True)
arguments.add_argument("--scope", choices=("perMachine", "perUser"), required=True)
arguments.add_argument("files", nargs=8)
ARGS = arguments.parse_args()
VERSION, CLSID, SCOPE = ARGS.version, ARGS.clsid, ARGS.scope
PREFIX, MSI, OTHER_MSI, STAGE, DLL64, DLL32, CLIENT64, CLIENT32 = (os.path.abspath(a) for a in ARGS.files)
RUNS_32BIT = subprocess.run(["bash", os.path.join(CMAKE, "can-run-32bit.sh")], stderr=subprocess.DEVNULL).returncode == 0
enter_session("wow64" if RUNS_32BIT else "win64", PREFIX)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from checks import Checks  # noqa: E402

NO_32BIT = "this machine runs no 32-bit programs"
SCRATCH = tempfile.mkdtemp(prefix="lark-msi-")
WINE_PREFIX = WinePrefix(PREFIX, SCRATCH)
CHECKS = Checks("msi-per-user" if SCOPE == "perUser" else "msi")
check = CHECKS.check
PER_USER = SCOPE == "perUser"
USER_FOLDER = r"C:\users\root\AppData\Local\Programs\Larkspindle"
FOLDER = USER_FOLDER if PER_USER else r"C:\Program Files\Larkspindle"
INSTALLED = {64: FOLDER + r"\Larkspindle.dll", 32: FOLDER + r"\x86\Larkspindle.dll"}
UNDO = {64: FOLDER + r"\LarkspindleUndo.exe", 32: FOLDER + r"\x86\LarkspindleUndo.exe"}
# The user's Start menu, and for a per-machine install the common one too: Windows puts a
# per-machine package's entry there, Wine 8's msiexec in the user's.
START_MENUS = (r"C:\users\root\AppData\Roaming\Microsoft\Windows\Start Menu\Programs",
               *(() if PER_USER else (r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs",)))
SHORTCUTS = [rf"{menu}\{ARGS.undo_title}.lnk" for menu in START_MENUS]
INSTALLER_RECORDS = (r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer",
                     r"HKEY_LOCAL_MACHINE\Software\Classes\Installer")
# What an install can touch: registration, Add/Remove Programs, and the installer's own
# records of products, features, components and cached packages.
TOUCHED_KEYS = (
    CLASSES + r"\*",
    CLASSES + r"\Directory",
    CLASSES + rf"\CLSID\{CLSID}",
    CLASSES + r"\Wow6432Node",
    *INSTALLER_RECORDS,
    UNINSTALL,
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
    subprocess.run(["wixl", "-a", "x64", "-D", f"Scope={SCOPE}", "-D", f"Clsid={CLSID}", "-D", f"Version={version}",
                    "-D", "UpgradeCode=" + upgrade_code(), "-D", "SiteUrl=http://older.example/",
                    "-o", "older.msi", "larkspindle.wxs"], cwd=stage, check=True, stderr=subprocess.DEVNULL)
    return os.path.join(stage, "older.msi")


def upgrade_code():
    run = subprocess.run(["msiinfo", "export", MSI, "Property"], check=True, stdout=subprocess.PIPE)
    for line in run.stdout.decode("utf-8").splitlines():
        if line.startswith("UpgradeCode\t"):
            return line.split("\t")[1]
    raise RuntimeError("the package has no UpgradeCode")


def products(snapshot):
    """Add/Remove Programs entries of the product, of its publisher: {key: DisplayVersion}."""
    return {key: reg_text(values.get("DisplayVersion", '""')) for key, values in snapshot.items()
            if "\\Uninstall\\" in key and values.get("DisplayName") == reg_string(ARGS.product)
            and values.get("Publisher") == reg_string(ARGS.publisher)}


def check_files(label):
    for view in (64, 32):
        check(f"{label}: {view}-bit DLL is this build's", True,
              same_bytes(DLL64 if view == 64 else DLL32, WINE_PREFIX.unix_path(INSTALLED[view])))
        staged = os.path.join(STAGE, "x64" if view == 64 else "x86", "LarkspindleUndo.exe")
        check(f"{label}: {view}-bit Undo program", True, same_bytes(staged, WINE_PREFIX.unix_path(UNDO[view])))
    check(f"{label}: the Undo program's Start menu entry", True,
          any(os.path.isfile(WINE_PREFIX.unix_path(shortcut)) for shortcut in SHORTCUTS))


def clean_copy():
    """A second prefix, copied from this one before anything is installed."""
    other = WinePrefix(PREFIX + "-regsvr32", SCRATCH)
    shutil.rmtree(other.path, ignore_errors=True)
    shutil.copytree(PREFIX, other.path, symlinks=True)
    return other


def check_machine_registration(other):
    """The package's own rows hold what regsvr32 writes (in the clean copy), in both views."""
    other.start()
    for view, dll in INSTALLED.items():
        os.makedirs(os.path.dirname(other.unix_path(dll)), exist_ok=True)
        shutil.copy(DLL64 if view == 64 else DLL32, other.unix_path(dll))
    check("regsvr32, 64-bit", 0, other.wine(r"C:\windows\system32\regsvr32.exe", "/s", INSTALLED[64]))
    by_regsvr32 = {64: other.registration(CLSID, 64)}
    if RUNS_32BIT:
        check("regsvr32, 32-bit", 0, other.wine(r"C:\windows\syswow64\regsvr32.exe", "/s", INSTALLED[32]))
        by_regsvr32[32] = other.registration(CLSID, 32)
    else:
        CHECKS.skip("the 32-bit regsvr32's registration, to compare the package's 32-bit view with", NO_32BIT)
    other.stop()
    shutil.rmtree(other.path)
    for view, dll in INSTALLED.items():
        expected = {"* handler": CLSID, "Directory handler": CLSID, "class": "Larkspindle Class", "server": dll,
                    "threading model": "Apartment", "approved": "Larkspindle"}
        check(f"the package's registration, {view}-bit view", expected,
              WINE_PREFIX.registration(CLSID, view, as_data=not RUNS_32BIT))
        if view in by_regsvr32:
            check(f"regsvr32's registration, {view}-bit view", expected, by_regsvr32[view])


def check_user_registration():
    rows = user_rows(STAGE, FOLDER)
    installed = WINE_PREFIX.user_registration(CLSID)
    check("the rows under HKCU are the registrar's", sorted(rows), sorted((key, name) for key, name, _ in installed))
    for key, name, data in installed:
        check(f"HKCU row {key} {name}", True, data in rows.get((key, name), ()))
    # Add/Remove Programs is Windows Installer's own record too: Windows keeps a per-user
    # product's entry under HKCU, Wine 8's msiexec under HKLM.
    check("none of the product's rows under HKEY_LOCAL_MACHINE", [],
          product_rows(WINE_PREFIX.export(r"HKLM\Software"), CLSID, skip=INSTALLER_RECORDS + (UNINSTALL,)))


def main():
    whole_clean = WINE_PREFIX.registry(WHOLE_REGISTRY)
    clean_registry, clean_files = WINE_PREFIX.registry(TOUCHED_KEYS), WINE_PREFIX.files()
    other = None if PER_USER else clean_copy()
    package = windows_path(MSI)

    # An older package first, then this one over it: one product afterwards, this
    # version, with this build's files.
    check("install of an older package", 0, timed("install of the older package", "/i", windows_path(older_package())))
    check("the older package's DLL", False, same_bytes(DLL64, WINE_PREFIX.unix_path(INSTALLED[64])))
    check("upgrade", 0, timed("upgrade", "/i", package))
    everything = WINE_PREFIX.registry(WHOLE_REGISTRY)
    check("one entry in Add/Remove Programs, of this version", [VERSION], list(products(everything).values()))
    check_files("upgrade")

    if PER_USER:
        check_user_registration()
        print("msi: the page is not shown: Wine 8's HKEY_CLASSES_ROOT does not show HKCU\\Software\\Classes")
    else:
        check_machine_registration(other)
        check("a 64-bit program's sheet shows the x64 DLL's page", 0, WINE_PREFIX.shows_page_of(CLIENT64, INSTALLED[64]))
        if RUNS_32BIT:
            check("a 32-bit program's sheet shows the x86 DLL's page", 0, WINE_PREFIX.shows_page_of(CLIENT32, INSTALLED[32]))
        else:
            CHECKS.skip("a 32-bit program's sheet showing the x86 DLL's page", NO_32BIT)

    # The other kind of package beside this one is refused, and leaves nothing.
    before_other = WINE_PREFIX.registry(TOUCHED_KEYS)
    check("the other kind of package is refused", True, timed("the other kind, refused", "/i", windows_path(OTHER_MSI)) != 0)
    check("the refused package changed nothing", [], differences(before_other, WINE_PREFIX.registry(TOUCHED_KEYS)))

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
    # The installer's cache folders (the machine's, and a per-user install's in the
    # profile) may stay, empty; the sheets' update check leaves WinINet's cookie index;
    # the profile's emptied Programs folder may stay.
    caches = (os.path.join("windows", "Installer"), os.path.join("users", "root", "AppData", "Roaming", "Microsoft", "Installer"),
              os.path.join("users", "root", "AppData", "Local", "Programs"))
    left = {path for path in WINE_PREFIX.files() ^ clean_files
            if path not in caches and not path.endswith(os.path.join("INetCookies", "index.dat"))}
    check("drive C after the uninstall", [], sorted(left))
    for cache in caches[:2]:
        folder = os.path.join(WINE_PREFIX.drive_c, cache)
        check(f"the installer's cache {cache} is empty", [], os.listdir(folder) if os.path.isdir(folder) else [])
    print(f"msi: the package is {os.path.getsize(MSI)} bytes")
    shutil.rmtree(SCRATCH)
    return CHECKS.finish()


if __name__ == "__main__":
    sys.exit(main())
