#!/usr/bin/env python3
"""Installs and uninstalls Larkspindle with its real installer in a Wine prefix of its own,
and compares the registry and drive C before the install and after the uninstall.

    installer_test.py FACTS [--user-rows DIR] win64 PREFIX SETUP_EXE DLL64 DLL32 UNDO64 UNDO32
    installer_test.py FACTS wow64 PREFIX SETUP_EXE DLL64 DLL32 UNDO64 UNDO32 CLIENT64 CLIENT32

FACTS are the build's: --version V --clsid {GUID} --product NAME --publisher NAME --undo-title TEXT.

With win64, the prefix is the host's 64-bit Wine without a working 32-bit regsvr32; an
install for the current user only (/CurrentUser) is checked there too, its rows against
the registrar's per-user rows in DIR (rows-x64.txt, rows-x86.txt).
With wow64, it is a 64-bit system with the 32-bit subsystem: both registrations are
checked in both registry views, and the real-client test of each build shows the Rename
page of its own DLL from the Properties sheet.
"""
import argparse
import os
import shutil
import sys
import tempfile

from wine_prefix import (CLASSES, UNINSTALL as UNINSTALL_KEYS, APPROVED, WHOLE_REGISTRY, WinePrefix, differences,
                         enter_session, product_rows, reg_string, reg_text, same_bytes, user_rows, value, windows_path)

arguments = argparse.ArgumentParser()
arguments.add_argument("--version", required=True)
arguments.add_argument("--clsid", required=True)
for fact in ("--product", "--publisher", "--undo-title"):
    arguments.add_argument(fact, required=True)
arguments.add_argument("--user-rows")
arguments.add_argument("kind", choices=("win64", "wow64"))
arguments.add_argument("files", nargs="+")
ARGS = arguments.parse_args()
VERSION, CLSID, KIND = ARGS.version, ARGS.clsid, ARGS.kind
PREFIX, SETUP, DLL64, DLL32, UNDO64, UNDO32, *CLIENTS = (os.path.abspath(a) for a in ARGS.files)
enter_session(KIND, PREFIX)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from checks import Checks  # noqa: E402

UNINSTALL = UNINSTALL_KEYS + r"\Larkspindle"
SHORTCUT = rf"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\{ARGS.undo_title}.lnk"
USER_SHORTCUT = rf"C:\users\root\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\{ARGS.undo_title}.lnk"
USER_FOLDER = r"C:\users\root\AppData\Local\Programs\Larkspindle"
USER_UNINSTALL = UNINSTALL.replace("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER")
# The user's rename journal, which an uninstall leaves alone.
JOURNAL = r"C:\users\root\AppData\Local\Larkspindle\Journal\20261210-000000-000.txt"
SCRATCH = tempfile.mkdtemp(prefix="lark-setup-")
WINE_PREFIX = WinePrefix(PREFIX, SCRATCH)
unix_path, files, run_exact = WINE_PREFIX.unix_path, WINE_PREFIX.files, WINE_PREFIX.run_exact

CHECKS = Checks("installer")
check = CHECKS.check

# Exporting the whole of HKLM\Software takes Wine about 9 s, so each round looks at the
# keys an install can touch, and the whole registry is compared once, at the end.
TOUCHED_KEYS = (
    CLASSES + r"\*",
    CLASSES + r"\Directory",
    CLASSES + rf"\CLSID\{CLSID}",
    CLASSES + r"\Wow6432Node\CLSID",
    UNINSTALL_KEYS,
    r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Shell Extensions",
    r"HKEY_CURRENT_USER\Software",
)


def registry(roots=TOUCHED_KEYS):
    return WINE_PREFIX.registry(roots)


def install(*args):
    return run_exact(" ".join([f'"{windows_path(SETUP)}"', "/S", *args]))


def uninstall(snapshot, entry=UNINSTALL):
    """Runs the uninstaller that Add/Remove Programs names, as it runs itself: copied
    out of the folder it removes, and told where that folder is."""
    exe = reg_text(value(snapshot, entry, "UninstallString")).strip('"')
    copy = os.path.join(SCRATCH, "Uninstall.exe")
    shutil.copy(unix_path(exe), copy)
    return run_exact(f'"{windows_path(copy)}" /S _?=' + exe.rsplit("\\", 1)[0])


def check_files(folder, shortcut, label):
    check(f"{label}: 64-bit DLL", True, same_bytes(DLL64, unix_path(folder + "\\Larkspindle.dll")))
    check(f"{label}: 32-bit DLL", True, same_bytes(DLL32, unix_path(folder + "\\x86\\Larkspindle.dll")))
    check(f"{label}: uninstaller", True, os.path.isfile(unix_path(folder + "\\Uninstall.exe")))
    check(f"{label}: Undo programs", [True, True], [same_bytes(UNDO64, unix_path(folder + "\\LarkspindleUndo.exe")),
                                                    same_bytes(UNDO32, unix_path(folder + "\\x86\\LarkspindleUndo.exe"))])
    check(f"{label}: Start menu entry", True, os.path.isfile(unix_path(shortcut)))


def check_installed(snapshot, folder, label):
    dll = folder + "\\Larkspindle.dll"
    check_files(folder, SHORTCUT, label)
    for kind in ("*", "Directory"):
        check(f"{label}: {kind} handler", reg_string(CLSID),
              value(snapshot, rf"{CLASSES}\{kind}\shellex\PropertySheetHandlers\Larkspindle", "@"))
    server = rf"{CLASSES}\CLSID\{CLSID}\InprocServer32"
    check(f"{label}: class", reg_string("Larkspindle Class"), value(snapshot, rf"{CLASSES}\CLSID\{CLSID}", "@"))
    check(f"{label}: server path", reg_string(dll), value(snapshot, server, "@"))
    check(f"{label}: threading model", reg_string("Apartment"), value(snapshot, server, "ThreadingModel"))
    check(f"{label}: approved", reg_string("Larkspindle"), value(snapshot, APPROVED, CLSID))
    expected_entry = {
        "DisplayName": reg_string(ARGS.product),
        "DisplayVersion": reg_string(VERSION),
        "Publisher": reg_string(ARGS.publisher),
        "InstallLocation": reg_string(folder),
        "DisplayIcon": reg_string(folder + "\\Uninstall.exe,0"),
        "UninstallString": reg_string(f'"{folder}\\Uninstall.exe"'),
        "NoModify": "dword:00000001",
        "NoRepair": "dword:00000001",
    }
    entry = snapshot.get(UNINSTALL, {})
    for name, data in expected_entry.items():
        check(f"{label}: Add/Remove Programs {name}", data, entry.get(name))
    check(f"{label}: quiet uninstall", True, entry.get("QuietUninstallString", "").endswith(' /S"'))


def main_wow64(client64, client32):
    folder = r"C:\Program Files\Larkspindle"
    absent = {name: None for name in WINE_PREFIX.registration(CLSID, 64)}
    check("nothing registered before the install, 64-bit view", absent, WINE_PREFIX.registration(CLSID, 64))
    check("nothing registered before the install, 32-bit view", absent, WINE_PREFIX.registration(CLSID, 32))
    check("silent install", 0, install())
    installed = registry()
    check_installed(installed, folder, "install")
    for view, dll in ((64, folder + r"\Larkspindle.dll"), (32, folder + r"\x86\Larkspindle.dll")):
        check(f"registration in the {view}-bit view", {
            "* handler": CLSID, "Directory handler": CLSID, "class": "Larkspindle Class", "server": dll,
            "threading model": "Apartment", "approved": "Larkspindle"}, WINE_PREFIX.registration(CLSID, view))
    check("a 64-bit program's sheet shows the x64 DLL's page", 0, WINE_PREFIX.shows_page_of(client64, folder + r"\Larkspindle.dll"))
    check("a 32-bit program's sheet shows the x86 DLL's page", 0, WINE_PREFIX.shows_page_of(client32, folder + r"\x86\Larkspindle.dll"))
    check("uninstall", 0, uninstall(installed))
    check("nothing registered after the uninstall, 64-bit view", absent, WINE_PREFIX.registration(CLSID, 64))
    check("nothing registered after the uninstall, 32-bit view", absent, WINE_PREFIX.registration(CLSID, 32))
    check("both DLLs removed", [False, False],
          [os.path.exists(unix_path(folder + r"\Larkspindle.dll")), os.path.exists(unix_path(folder + r"\x86\Larkspindle.dll"))])
    check("install folder removed", False, os.path.exists(unix_path(folder)))
    shutil.rmtree(SCRATCH)
    return CHECKS.finish()


def main():
    if KIND == "wow64":
        return main_wow64(*CLIENTS)
    whole_clean = registry(WHOLE_REGISTRY)
    if UNINSTALL in whole_clean or os.path.exists(unix_path(r"C:\Program Files\Larkspindle")):
        # An interrupted run left its install behind: start again from a new prefix.
        print("installer_test: the prefix holds an earlier install; making a new one")
        WINE_PREFIX.wine("--server", "-k", timeout=20)
        shutil.rmtree(PREFIX)
        return RESTART
    clean_registry, clean_files = registry(), files()
    default = r"C:\Program Files\Larkspindle"

    # A silent install, a second one over it, and the uninstall that Add/Remove
    # Programs would run: afterwards the prefix is as it was.
    check("silent install", 0, install())
    check_installed(registry(), default, "install")
    check("install over an installed copy", 0, install())
    installed = registry()
    check_installed(installed, default, "reinstall")
    check("nothing moved aside when the DLL is not in use", False,
          os.path.exists(unix_path(default + r"\Larkspindle.dll.old")))
    check("uninstall", 0, uninstall(installed))
    check("registry after uninstall", [], differences(clean_registry, registry()))
    check("files after uninstall", [], sorted(files() ^ clean_files))

    # A folder of the user's choice, holding a file of the user's when it is uninstalled.
    chosen = r"C:\Lark Tools\Rename"
    check("install to a chosen folder", 0, install("/D=" + chosen))
    installed = registry()
    check_installed(installed, chosen, "chosen folder")
    notes = unix_path(chosen + r"\notes.txt")
    with open(notes, "w") as f:
        f.write("the user's own file\n")
    os.makedirs(os.path.dirname(unix_path(JOURNAL)), exist_ok=True)
    with open(unix_path(JOURNAL), "w") as f:
        f.write("a run on record\n")
    check("uninstall from the chosen folder", 0, uninstall(installed))
    check("the user's file stays", "the user's own file\n", open(notes).read())
    check("the rename journal stays", "a run on record\n", open(unix_path(JOURNAL)).read())
    check("the Start menu entry goes", False, os.path.exists(unix_path(SHORTCUT)))
    shutil.rmtree(unix_path(r"C:\users\root\AppData\Local\Larkspindle"))
    check("only the user's file is left in the folder", ["notes.txt"], sorted(os.listdir(unix_path(chosen))))
    check("registry after uninstall from the chosen folder", [], differences(clean_registry, registry()))
    shutil.rmtree(unix_path(r"C:\Lark Tools"))

    # The DLL deleted by hand cannot unregister itself; the uninstaller still removes
    # every key, so no handler is left pointing at a missing file.
    check("install before the DLL is deleted", 0, install())
    installed = registry()
    os.remove(unix_path(default + r"\Larkspindle.dll"))
    check("uninstall without the DLL", 0, uninstall(installed))
    check("registry after uninstall without the DLL", [], differences(clean_registry, registry()))
    check("files after uninstall without the DLL", [], sorted(files() ^ clean_files))

    # For the current user only: the registrar's rows under HKCU, nothing under HKLM, no
    # per-machine install beside it, and nothing left after its uninstall.
    check("install for the current user", 0, install("/CurrentUser"))
    check_files(USER_FOLDER, USER_SHORTCUT, "current user")
    rows = user_rows(ARGS.user_rows, USER_FOLDER)
    installed_rows = WINE_PREFIX.user_registration(CLSID)
    check("current user: the rows under HKCU are the registrar's", sorted(rows),
          sorted((key, name) for key, name, _ in installed_rows))
    for key, name, data in installed_rows:
        check(f"current user: HKCU row {key} {name}", True, data in rows.get((key, name), ()))
    check("current user: none of the product's rows under HKEY_LOCAL_MACHINE", [],
          product_rows(WINE_PREFIX.export(r"HKLM\Software"), CLSID))
    installed = registry()
    check("current user: Add/Remove Programs", reg_string(ARGS.product), value(installed, USER_UNINSTALL, "DisplayName"))
    check("an install for all users beside it is refused", 4, install())
    check("the refused install changed nothing", [], differences(installed, registry()))
    check("uninstall for the current user", 0, uninstall(installed, USER_UNINSTALL))
    # A fresh Wine prefix has neither HKCU\Software\Classes nor HKCU's Uninstall key, which
    # every Windows has: emptied, they may stay, as may the profile's Programs folder.
    check("registry after the current user's uninstall", [],
          differences(clean_registry, registry(), empty_keys_count=False))
    check("files after the current user's uninstall", [],
          sorted((files() ^ clean_files) - {os.path.join("users", "root", "AppData", "Local", "Programs")}))

    check("whole registry after four rounds", [], differences(whole_clean, registry(WHOLE_REGISTRY), empty_keys_count=False))
    shutil.rmtree(SCRATCH)
    return CHECKS.finish()


RESTART = 75

if __name__ == "__main__":
    status = main()
    if status == RESTART:
        os.environ.pop("LARK_WINE_SESSION")
        os.execv(sys.executable, [sys.executable, *sys.argv])
    sys.exit(status)
