#!/usr/bin/env python3
"""The checks of installer/check_msi.py against packages of a few table rows: a
well-formed per-user and per-machine package pass every Windows Installer rule, and each
fault, made in one of them, is reported by exactly the rules that forbid it; the
registration check tells the values that mark components installed from the
registrar's rows."""
import copy
import os
import sys
from collections import Counter

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "installer"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from check_msi import RULES, Package, registration_findings  # noqa: E402
from checks import Checks  # noqa: E402

CHECKS = Checks("msi-rules")
check = CHECKS.check


def table(columns, *rows):
    return [dict(zip(columns.split(), row)) for row in rows]


DIRECTORY = "Directory Directory_Parent DefaultDir"
COMPONENT = "Component ComponentId Directory_ Attributes Condition KeyPath"
REGISTRY = "Registry Root Key Name Value Component_"
REMOVE_FILE = "FileKey Component_ FileName DirProperty InstallMode"
SHORTCUT = "Shortcut Directory_ Name Component_ Target"
FILE = "File Component_ FileName"
INSTALLED = r"Software\Lark\Installed"
CLASS = r"Software\Classes\CLSID\{X}"

# Files under the user's local application data, each component marked by a value of
# the user's; the program's Start menu entry in a component of its own; the folder made
# in the profile removed on uninstall.
PER_USER = {
    "Directory": table(DIRECTORY, ("TARGETDIR", "", "SourceDir"), ("LocalAppDataFolder", "TARGETDIR", "."),
                       ("App", "LocalAppDataFolder", "Lark"), ("ProgramMenuFolder", "TARGETDIR", ".")),
    "Component": table(COMPONENT, ("Files", "{1}", "App", "260", "", "regFiles"),
                       ("Menu", "{2}", "ProgramMenuFolder", "260", "", "regMenu"),
                       ("Registration", "{3}", "App", "260", "", "regClass")),
    "Registry": table(REGISTRY, ("regFiles", "1", INSTALLED, "Files", "#1", "Files"),
                      ("regMenu", "1", INSTALLED, "Menu", "#1", "Menu"),
                      ("regClass", "1", CLASS, "", "Lark Class", "Registration")),
    "File": table(FILE, ("app", "Files", "app.exe")),
    "RemoveFile": table(REMOVE_FILE, ("removeApp", "Files", "", "App", "2")),
    "Shortcut": table(SHORTCUT, ("menu", "ProgramMenuFolder", "Lark", "Menu", "[#app]")),
    "Feature": table("Feature", ("Main",)),
    "FeatureComponents": table("Feature_ Component_", ("Main", "Files"), ("Main", "Menu"), ("Main", "Registration")),
    "Property": table("Property Value", ("ProductName", "Lark")),
}

# Files under Program Files, judged by themselves; the classes under HKCR and the
# approval under HKLM; the Start menu entry marked by a value of the installing user's.
PER_MACHINE = {
    "Directory": table(DIRECTORY, ("TARGETDIR", "", "SourceDir"), ("ProgramFiles64Folder", "TARGETDIR", "."),
                       ("App", "ProgramFiles64Folder", "Lark"), ("ProgramMenuFolder", "TARGETDIR", "."),
                       ("LocalAppDataFolder", "TARGETDIR", ".")),
    "Component": table(COMPONENT, ("Files", "{1}", "App", "256", "", "app"),
                       ("Menu", "{2}", "ProgramMenuFolder", "260", "", "regMenu"),
                       ("Registration", "{3}", "App", "260", "", "regClass")),
    "Registry": table(REGISTRY, ("regMenu", "1", INSTALLED, "Menu", "#1", "Menu"),
                      ("regClass", "0", r"CLSID\{X}", "", "Lark Class", "Registration"),
                      ("regApproved", "2", r"Software\Approved", "{X}", "Lark", "Registration")),
    "File": table(FILE, ("app", "Files", "app.exe")),
    "Shortcut": table(SHORTCUT, ("menu", "ProgramMenuFolder", "Lark", "Menu", "[#app]")),
    "Feature": table("Feature", ("Main",)),
    "FeatureComponents": table("Feature_ Component_", ("Main", "Files"), ("Main", "Menu"), ("Main", "Registration")),
    "Property": table("Property Value", ("ProductName", "Lark"), ("ALLUSERS", "1")),
}


def edit(table_name, key, **cells):
    """A change that sets cells of the row whose first column is `key`."""
    def change(tables):
        row = next(row for row in tables[table_name] if next(iter(row.values())) == key)
        row.update(cells)
    return change


def add(table_name, columns, *values):
    return lambda tables: tables.setdefault(table_name, []).extend(table(columns, values))


def drop(table_name, key):
    return lambda tables: tables.__setitem__(
        table_name, [row for row in tables[table_name] if next(iter(row.values())) != key])


def both(*changes):
    def change(tables):
        for one in changes:
            one(tables)
    return change


RULE_CASES = (
    # (what, package, change, the rules that report it)
    ("a well-formed per-user package", PER_USER, None, []),
    ("a well-formed per-machine package", PER_MACHINE, None, []),
    ("a file in the profile as its component's key path", PER_USER,
     edit("Component", "Files", Attributes="256", KeyPath="app"), ["ICE38"]),
    ("a profile component's key path a value of another component", PER_USER,
     edit("Component", "Files", KeyPath="regClass"), ["ICE38"]),
    ("a profile component with the registry key path bit and no key path", PER_USER,
     edit("Component", "Files", KeyPath=""), ["ICE38"]),
    ("a profile component's key path under HKMU", PER_USER,
     edit("Registry", "regFiles", Root="-1"), ["ICE38", "ICE57"]),
    ("the Start menu entry in its program's component, judged by the file", PER_MACHINE,
     edit("Shortcut", "menu", Component_="Files"), ["ICE43", "ICE57"]),
    ("a Start menu entry marked by a value under HKLM", PER_MACHINE,
     edit("Registry", "regMenu", Root="2"), ["ICE43", "ICE57"]),
    ("a Start menu entry marked by a value under HKMU", PER_MACHINE, edit("Registry", "regMenu", Root="-1"), []),
    ("a Start menu entry marked by a value that does not exist", PER_MACHINE,
     edit("Component", "Menu", KeyPath="regGone"), ["ICE03", "ICE43"]),
    ("an advertised shortcut judged by its file", PER_MACHINE,
     both(edit("Shortcut", "menu", Component_="Files", Target="Main"), drop("Component", "Menu"),
          drop("Registry", "regMenu"), drop("FeatureComponents", "Main")), []),
    ("a value of the user's among the machine's classes", PER_MACHINE,
     add("Registry", REGISTRY, "regUser", "1", r"Software\Lark", "", "x", "Registration"), ["ICE57"]),
    ("the machine's approval beside a user's file", PER_USER,
     add("Registry", REGISTRY, "regMachine", "2", r"Software\Approved", "{X}", "Lark", "Files"), ["ICE57"]),
    ("per-user classes judged by a value under HKCR", PER_USER,
     add("Registry", REGISTRY, "regClasses", "0", r"CLSID\{X}", "", "x", "Registration"), []),
    ("per-user classes judged by a value that follows ALLUSERS", PER_USER,
     both(add("Registry", REGISTRY, "regClasses", "0", r"CLSID\{X}", "", "x", "Registration"),
          edit("Component", "Registration", KeyPath="regClasses")), ["ICE38", "ICE57"]),
    ("the folder made in the profile left behind", PER_USER, drop("RemoveFile", "removeApp"), ["ICE64"]),
    ("the folder made in the profile removed on install only", PER_USER,
     edit("RemoveFile", "removeApp", InstallMode="1"), ["ICE64"]),
    ("a folder made in the user's Start menu left behind", PER_USER,
     both(add("Directory", DIRECTORY, "Group", "ProgramMenuFolder", "Lark"), edit("Component", "Menu", Directory_="Group"),
          edit("Shortcut", "menu", Directory_="Group")), ["ICE64"]),
    ("a folder made in All Users' Start menu", PER_MACHINE,
     both(add("Directory", DIRECTORY, "Group", "ProgramMenuFolder", "Lark"), edit("Component", "Menu", Directory_="Group"),
          edit("Shortcut", "menu", Directory_="Group")), []),
    ("a per-machine package's file in the user's local application data", PER_MACHINE,
     both(add("Component", COMPONENT, "UserFile", "{4}", "LocalAppDataFolder", "260", "", "regUserFile"),
          add("Registry", REGISTRY, "regUserFile", "1", INSTALLED, "UserFile", "#1", "UserFile"),
          add("File", FILE, "userFile", "UserFile", "a.txt")), ["ICE91"]),
    ("a per-user package's file in the user's local application data", PER_USER,
     both(add("Component", COMPONENT, "UserFile", "{4}", "LocalAppDataFolder", "260", "", "regUserFile"),
          add("Registry", REGISTRY, "regUserFile", "1", INSTALLED, "UserFile", "#1", "UserFile"),
          add("File", FILE, "userFile", "UserFile", "a.txt")), []),
    ("a component in SystemFolder that is not permanent", PER_MACHINE,
     both(add("Directory", DIRECTORY, "SystemFolder", "TARGETDIR", "."), edit("Component", "Files", Directory_="SystemFolder")),
     ["ICE09"]),
    ("a permanent component in SystemFolder", PER_MACHINE,
     both(add("Directory", DIRECTORY, "SystemFolder", "TARGETDIR", "."),
          edit("Component", "Files", Directory_="SystemFolder", Attributes="272")), []),
    ("a file of a component that does not exist", PER_USER, edit("File", "app", Component_="Gone"), ["ICE03"]),
    ("a folder whose parent does not exist", PER_USER, edit("Directory", "ProgramMenuFolder", Directory_Parent="Nowhere"),
     ["ICE03"]),
    ("a key path file that does not exist", PER_MACHINE, edit("Component", "Files", KeyPath="gone"), ["ICE03"]),
    ("a value under root 4, as wixl writes HKMU", PER_MACHINE,
     edit("Registry", "regMenu", Root="4"), ["ICE03", "ICE43", "ICE57"]),
    ("a folder removal of mode 4", PER_USER, edit("RemoveFile", "removeApp", InstallMode="4"), ["ICE03", "ICE64"]),
)

for what, base, change, expected in RULE_CASES:
    tables = copy.deepcopy(base)
    if change:
        change(tables)
    package = Package(tables)
    check(what, expected, [rule.__name__.upper() for rule in RULES if rule(package)])

# The registrar's rows of the per-user package: the values that mark components with
# files and shortcuts installed are not among them, and anything else is.
REGISTRAR_ROWS = Counter([("32", "HKCU", CLASS, "", "Lark Class")])
REGISTRATION_CASES = (
    ("the markers of files, shortcuts and folders left out", None, []),
    ("a value beside a file component's marker",
     add("Registry", REGISTRY, "regStray", "1", CLASS, "x", "y", "Files"),
     ["registration: extra ('32', 'HKCU', 'Software\\\\Classes\\\\CLSID\\\\{X}', 'x', 'y')"]),
    ("a registrar row made the key path of a file's component",
     edit("Component", "Files", KeyPath="regClass"),
     ["registration: missing ('32', 'HKCU', 'Software\\\\Classes\\\\CLSID\\\\{X}', '', 'Lark Class')",
      "registration: extra ('32', 'HKCU', 'Software\\\\Lark\\\\Installed', 'Files', '#1')"]),
)
for what, change, expected in REGISTRATION_CASES:
    tables = copy.deepcopy(PER_USER)
    for row in tables["Component"]:
        row["Attributes"] = str(int(row["Attributes"]) & ~0x100)
    if change:
        change(tables)
    check(what, expected, registration_findings(Package(tables), REGISTRAR_ROWS))

sys.exit(CHECKS.finish())
