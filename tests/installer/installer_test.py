#!/usr/bin/env python3
"""Installs and uninstalls Larkspindle with its real installer in a Wine prefix of its own,
and compares the registry and drive C before the install and after the uninstall.

    installer_test.py --version V --clsid {GUID} win64 PREFIX SETUP_EXE DLL64 DLL32
    installer_test.py --version V --clsid {GUID} wow64 PREFIX SETUP_EXE DLL64 DLL32 CLIENT64 CLIENT32

With win64, the prefix is the host's 64-bit Wine without a working 32-bit regsvr32.
With wow64, it is a 64-bit system with the 32-bit subsystem: both registrations are
checked in both registry views, and the real-client test of each build shows the Rename
page of its own DLL from the Properties sheet.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

arguments = argparse.ArgumentParser()
arguments.add_argument("--version", required=True)
arguments.add_argument("--clsid", required=True)
arguments.add_argument("kind", choices=("win64", "wow64"))
arguments.add_argument("files", nargs="+")
ARGS = arguments.parse_args()
VERSION, CLSID, KIND = ARGS.version, ARGS.clsid, ARGS.kind
PREFIX, SETUP, DLL64, DLL32, *CLIENTS = (os.path.abspath(a) for a in ARGS.files)
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from checks import Checks  # noqa: E402
WINE = os.path.join(HERE, "..", "..", "cmake", "wine.sh")
if os.environ.get("LARK_WINE_SESSION") != PREFIX:
    session = os.path.join(HERE, "..", "..", "cmake", "wine-session.sh")
    os.execv(session, [session, KIND, PREFIX, sys.executable, *sys.argv])
if os.environ.get("LARK_WINE_SKIP"):
    print("skipped:", os.environ["LARK_WINE_SKIP"])
    sys.exit(77)

CLASSES = r"HKEY_LOCAL_MACHINE\Software\Classes"
UNINSTALL = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Larkspindle"
APPROVED = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved"
DRIVE_C = os.path.join(PREFIX, "drive_c")
SCRATCH = tempfile.mkdtemp(prefix="lark-setup-")

CHECKS = Checks("installer")
check = CHECKS.check


def wine(*args, timeout=120):
    run = subprocess.run(["timeout", "-k", "5", str(timeout), WINE, *args],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return run.returncode


def windows_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


def unix_path(path):
    assert path[:3].upper() == "C:\\", path
    return os.path.join(DRIVE_C, *path[3:].split("\\"))


def parse_reg(text):
    """A .reg export as {key: {value name: data as written}}."""
    keys, current, pending = {}, None, ""
    for raw in text.splitlines():
        line = pending + raw.strip()
        pending = ""
        if line.endswith("\\") and current is not None:
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            name, _, data = line.partition("=") if line.startswith("@") else _split_quoted(line)
            current[name] = data
    return keys


def _split_quoted(line):
    # "name"="data": a name may hold an escaped quote, so find its closing quote by hand.
    i = 1
    while line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return line[1:i], "=", line[i + 2:]


# Exporting the whole of HKLM\Software takes Wine about 9 s, so each round looks at the
# keys an install can touch, and the whole registry is compared once, at the end.
TOUCHED_KEYS = (
    CLASSES + r"\*",
    CLASSES + r"\Directory",
    CLASSES + rf"\CLSID\{CLSID}",
    CLASSES + r"\Wow6432Node\CLSID",
    r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall",
    r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Shell Extensions",
    r"HKEY_CURRENT_USER\Software",
)
WHOLE_REGISTRY = (r"HKEY_LOCAL_MACHINE\Software", r"HKEY_CURRENT_USER\Software")


def registry(roots=TOUCHED_KEYS):
    snapshot = {}
    out = os.path.join(SCRATCH, "export.reg")
    for root in roots:
        if os.path.exists(out):
            os.remove(out)
        status = wine("reg", "export", root, windows_path(out), "/y")
        if status != 0 and roots is WHOLE_REGISTRY:
            raise RuntimeError(f"reg export {root} failed")
        if status == 0:  # otherwise the key does not exist
            with open(out, "rb") as f:
                snapshot.update(parse_reg(f.read().decode("utf-16")))
    return snapshot


def files():
    found = set()
    for folder, dirs, names in os.walk(DRIVE_C):
        rel = os.path.relpath(folder, DRIVE_C)
        found.update(os.path.join(rel, n) for n in dirs + names)
    return found


def value(snapshot, key, name):
    return snapshot.get(key, {}).get(name)


# Wine's user32 records the session's display settings here the first time any program
# opens a window; it is Wine's own state, not the installer's.
WINE_SESSION_KEYS = r"HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters"


def differences(before, after):
    """Registry keys and values added, removed or changed, as readable lines."""
    lines = []
    for key in sorted(set(before) | set(after)):
        if key.startswith(WINE_SESSION_KEYS):
            continue
        if key not in after:
            lines.append(f"removed [{key}]")
        elif key not in before:
            lines.append(f"added [{key}]")
        elif before[key] != after[key]:
            lines.append(f"changed [{key}]")
    return lines


def same_bytes(a, b):
    if not os.path.exists(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def run_exact(command_line):
    """Runs a command line exactly as written. NSIS reads /D= and _?= only when no quote
    comes before them, and wine would quote an argument that holds a space; a batch
    file passes its line through untouched and waits for the program to end."""
    batch = os.path.join(SCRATCH, "run.bat")
    with open(batch, "w", newline="\r\n") as f:
        f.write(f"@{command_line}\nexit /b %errorlevel%\n")
    return wine("cmd", "/c", windows_path(batch))


def install(*args):
    return run_exact(" ".join([f'"{windows_path(SETUP)}"', "/S", *args]))


def uninstall(snapshot):
    """Runs the uninstaller that Add/Remove Programs names, as it runs itself: copied
    out of the folder it removes, and told where that folder is."""
    exe = reg_text(value(snapshot, UNINSTALL, "UninstallString")).strip('"')
    copy = os.path.join(SCRATCH, "Uninstall.exe")
    shutil.copy(unix_path(exe), copy)
    return run_exact(f'"{windows_path(copy)}" /S _?=' + exe.rsplit("\\", 1)[0])


def reg_string(text):
    """A string as a .reg export writes it."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_text(data):
    """The string that a .reg export's quoted data stands for."""
    return re.sub(r'\\(.)', r"\1", data[1:-1])


def check_installed(snapshot, folder, label):
    dll = folder + "\\Larkspindle.dll"
    check(f"{label}: 64-bit DLL", True, same_bytes(DLL64, unix_path(dll)))
    check(f"{label}: 32-bit DLL", True, same_bytes(DLL32, unix_path(folder + "\\x86\\Larkspindle.dll")))
    check(f"{label}: uninstaller", True, os.path.isfile(unix_path(folder + "\\Uninstall.exe")))
    for kind in ("*", "Directory"):
        check(f"{label}: {kind} handler", reg_string(CLSID),
              value(snapshot, rf"{CLASSES}\{kind}\shellex\PropertySheetHandlers\Larkspindle", "@"))
    server = rf"{CLASSES}\CLSID\{CLSID}\InprocServer32"
    check(f"{label}: class", reg_string("Larkspindle Class"), value(snapshot, rf"{CLASSES}\CLSID\{CLSID}", "@"))
    check(f"{label}: server path", reg_string(dll), value(snapshot, server, "@"))
    check(f"{label}: threading model", reg_string("Apartment"), value(snapshot, server, "ThreadingModel"))
    check(f"{label}: approved", reg_string("Larkspindle"), value(snapshot, APPROVED, CLSID))
    expected_entry = {
        "DisplayName": reg_string("Larkspindle"),
        "DisplayVersion": reg_string(VERSION),
        "Publisher": reg_string("Larkspindle"),
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


def query(key, name, view):
    """The data of a string value in one registry view, or None. Each view is read by the
    reg of its own bitness: Wine's 64-bit reg with /reg:32 misses the keys that both
    views share (HKCR\\* and HKCR\\Directory), which Windows' shows."""
    reg = r"C:\windows\syswow64\reg.exe" if view == 32 else r"C:\windows\system32\reg.exe"
    run = subprocess.run(["timeout", "-k", "5", "60", WINE, reg, "query", key, *(["/ve"] if name is None else ["/v", name]),
                          f"/reg:{view}"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if run.returncode != 0:
        return None
    for line in run.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split("    ")
        if len(parts) == 3 and parts[1] == "REG_SZ":
            return parts[2]
    return None


def registration(view):
    """The six entries registration writes, as one view of the registry holds them."""
    server = rf"HKCR\CLSID\{CLSID}\InprocServer32"
    return {
        "* handler": query(r"HKCR\*\shellex\PropertySheetHandlers\Larkspindle", None, view),
        "Directory handler": query(r"HKCR\Directory\shellex\PropertySheetHandlers\Larkspindle", None, view),
        "class": query(rf"HKCR\CLSID\{CLSID}", None, view),
        "server": query(server, None, view),
        "threading model": query(server, "ThreadingModel", view),
        "approved": query(APPROVED, CLSID, view),
    }


def shows_page_of(client, dll):
    """Runs a real-client test program, which opens the Properties sheet of a file and
    checks that its Rename page, and the context its dialogs run under, come from `dll`."""
    run = subprocess.run(["timeout", "-k", "5", "120", WINE, client, "--gtest_brief=1"],
                         env=dict(os.environ, LARK_EXPECT_DLL=dll), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if run.returncode != 0:
        print(run.stdout.decode("utf-8", "replace"))
    return run.returncode


def main_wow64(client64, client32):
    folder = r"C:\Program Files\Larkspindle"
    absent = {name: None for name in registration(64)}
    check("nothing registered before the install, 64-bit view", absent, registration(64))
    check("nothing registered before the install, 32-bit view", absent, registration(32))
    check("silent install", 0, install())
    installed = registry()
    check_installed(installed, folder, "install")
    for view, dll in ((64, folder + r"\Larkspindle.dll"), (32, folder + r"\x86\Larkspindle.dll")):
        check(f"registration in the {view}-bit view", {
            "* handler": CLSID, "Directory handler": CLSID, "class": "Larkspindle Class", "server": dll,
            "threading model": "Apartment", "approved": "Larkspindle"}, registration(view))
    check("a 64-bit program's sheet shows the x64 DLL's page", 0, shows_page_of(client64, folder + r"\Larkspindle.dll"))
    check("a 32-bit program's sheet shows the x86 DLL's page", 0, shows_page_of(client32, folder + r"\x86\Larkspindle.dll"))
    check("uninstall", 0, uninstall(installed))
    check("nothing registered after the uninstall, 64-bit view", absent, registration(64))
    check("nothing registered after the uninstall, 32-bit view", absent, registration(32))
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
        subprocess.run(["timeout", "-k", "5", "20", WINE, "--server", "-k"],
                       env=dict(os.environ, WINEPREFIX=PREFIX))
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
    check("uninstall from the chosen folder", 0, uninstall(installed))
    check("the user's file stays", "the user's own file\n", open(notes).read())
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

    check("whole registry after three rounds", [], differences(whole_clean, registry(WHOLE_REGISTRY)))
    shutil.rmtree(SCRATCH)
    return CHECKS.finish()


RESTART = 75

if __name__ == "__main__":
    status = main()
    if status == RESTART:
        os.environ.pop("LARK_WINE_SESSION")
        os.execv(sys.executable, [sys.executable, *sys.argv])
    sys.exit(status)
