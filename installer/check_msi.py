#!/usr/bin/env python3
"""Checks a built MSI, read from its own tables (msiinfo export):
- its Registry table holds exactly the rows DllRegisterServer writes for each build, each
  row in its component's registry view, beside the values that mark other components
  installed;
- it shows the product's facts (facts.wxi): its name, its publisher, its Start menu
  entry's name;
- it keeps Windows Installer's rules as Microsoft documents them, which administrators'
  packaging tools run and neither wixl nor Wine does: ICE03 (for the tables used here:
  foreign keys and value ranges), ICE09, ICE38, ICE43, ICE57, ICE64 and ICE91.

    check_msi.py MSI FACTS ROWS...     (ROWS: files of lark-registry-rows --rows lines)
"""
import re
import subprocess
import sys
from collections import Counter

ROOTS = {"0": "HKCR", "1": "HKCU", "2": "HKLM"}
COMPONENT_PERMANENT = 0x10
COMPONENT_REGISTRY_KEY_PATH = 0x4
COMPONENT_ODBC_KEY_PATH = 0x20
COMPONENT_64BIT = 0x100
REMOVE_ON_UNINSTALL = 0x2
# The tables the checks read; others are never exported (msiinfo would write their
# streams out as files).
TABLES = ("Component", "CreateFolder", "Directory", "Feature", "FeatureComponents", "File", "Property", "Registry",
          "RemoveFile", "Shortcut")

# Where data lives: a user's alone, the machine's, or either as ALLUSERS says.
USER, MACHINE, EITHER = "per-user", "per-machine", "per-user or per-machine"
# The folders that are the user's whatever ALLUSERS says (ICE91's list).
USER_ONLY_FOLDERS = {"AppDataFolder", "FavoritesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
                     "RecentFolder", "SendToFolder", "MyPicturesFolder", "LocalAppDataFolder"}
# The folders that are the user's, or All Users' when ALLUSERS asks for a per-machine install.
ALLUSERS_FOLDERS = {"AdminToolsFolder", "DesktopFolder", "ProgramMenuFolder", "StartMenuFolder", "StartupFolder",
                    "TemplateFolder"}
# HKCR and HKMU (-1) are HKCU's or HKLM's as the install is per user or per machine.
ROOT_PLACES = {"-1": EITHER, "0": EITHER, "1": USER, "2": MACHINE, "3": MACHINE}


class Package:
    """An MSI's tables as {table: [{column: value}]}; a null value is the empty string."""

    def __init__(self, tables):
        self.tables = tables

    @classmethod
    def read(cls, msi):
        present = subprocess.run(["msiinfo", "tables", msi], check=True, stdout=subprocess.PIPE).stdout.decode().split()
        tables = {}
        for name in TABLES:
            if name not in present:
                continue
            text = subprocess.run(["msiinfo", "export", msi, name], check=True, stdout=subprocess.PIPE).stdout
            lines = text.decode("utf-8").splitlines()
            columns = lines[0].split("\t")
            tables[name] = [dict(zip(columns, line.split("\t"))) for line in lines[3:]]
        return cls(tables)

    def rows(self, table):
        return self.tables.get(table, [])

    def keyed(self, table):
        """The rows of a table by their first column, its primary key in the tables read here."""
        return {next(iter(row.values())): row for row in self.rows(table)}

    def property(self, name):
        return next((row["Value"] for row in self.rows("Property") if row["Property"] == name), None)

    def folders(self, directory):
        """A directory and every directory above it."""
        parents = {row["Directory"]: row["Directory_Parent"] for row in self.rows("Directory")}
        chain = []
        while directory and directory not in chain:
            chain.append(directory)
            directory = parents.get(directory, "")
        return chain

    def place(self, directory):
        """Whose a directory is: USER below a user-only folder, EITHER below one that follows
        ALLUSERS, else MACHINE."""
        chain = set(self.folders(directory))
        return USER if chain & USER_ONLY_FOLDERS else EITHER if chain & ALLUSERS_FOLDERS else MACHINE

    def in_profile(self, directory):
        """Whether a directory lies in the installing user's profile: below a user-only
        folder, or below one that follows ALLUSERS when the package is not per machine."""
        place = self.place(directory)
        return place == USER or (place == EITHER and self.property("ALLUSERS") != "1")

    def components_with(self, table):
        return {row["Component_"] for row in self.rows(table)}

    def non_advertised_shortcuts(self):
        features = set(self.keyed("Feature"))
        return [row for row in self.rows("Shortcut") if row["Target"] not in features]


def read_facts(path):
    """{name: value} of the <?define?> lines of the build's facts.wxi."""
    with open(path, encoding="utf-8") as text:
        return dict(re.findall(r'<\?define (\w+) = "([^"]*)" \?>', text.read()))


def marker_rows(package):
    """The Registry rows that only mark as installed a component that holds something
    else than registry rows (files, shortcuts, folders): its key path."""
    holders = set().union(*(package.components_with(table) for table in ("File", "Shortcut", "RemoveFile", "CreateFolder")))
    return {row["KeyPath"] for row in package.rows("Component")
            if row["Component"] in holders and int(row["Attributes"]) & COMPONENT_REGISTRY_KEY_PATH}


def registration_findings(package, expected_rows):
    """The package's registration rows that differ from the registrar's."""
    views = {c["Component"]: "64" if int(c["Attributes"]) & COMPONENT_64BIT else "32" for c in package.rows("Component")}
    markers = marker_rows(package)
    in_package = Counter((views[r["Component_"]], ROOTS.get(r["Root"], r["Root"]), r["Key"], r["Name"], r["Value"])
                         for r in package.rows("Registry") if r["Registry"] not in markers)
    return ([f"registration: missing {row}" for row in sorted(expected_rows - in_package)] +
            [f"registration: extra {row}" for row in sorted(in_package - expected_rows)])


def facts_findings(package, facts):
    """Where the package shows another name or publisher than the build's facts."""
    shown = {"ProductName": package.property("ProductName"), "Publisher": package.property("Manufacturer")}
    findings = [f"facts: {name} is {shown[name]!r}, not {facts[name]!r}" for name in shown if shown[name] != facts[name]]
    findings += [f"facts: the shortcut {row['Shortcut']} is named {row['Name']!r}, not {facts['UndoTitle']!r}"
                 for row in package.rows("Shortcut") if row["Name"] != facts["UndoTitle"]]
    return findings


# ICE03 checks every column against the _Validation table, which wixl does not write; these
# are the foreign keys and value sets that the schema gives the tables used here.
FOREIGN_KEYS = (("Component", "Directory_", "Directory"), ("CreateFolder", "Directory_", "Directory"),
                ("CreateFolder", "Component_", "Component"), ("Directory", "Directory_Parent", "Directory"),
                ("FeatureComponents", "Feature_", "Feature"), ("FeatureComponents", "Component_", "Component"),
                ("File", "Component_", "Component"), ("Registry", "Component_", "Component"),
                ("RemoveFile", "Component_", "Component"), ("Shortcut", "Directory_", "Directory"),
                ("Shortcut", "Component_", "Component"))
NULLABLE = {("Directory", "Directory_Parent")}
VALUE_SETS = (("Registry", "Root", {"-1", "0", "1", "2", "3"}), ("RemoveFile", "InstallMode", {"1", "2", "3"}))


def ice03(package):
    findings = []
    for table, column, target in FOREIGN_KEYS:
        keys = set(package.keyed(target))
        for row in package.rows(table):
            value = row[column]
            if (value == "" and (table, column) in NULLABLE) or value in keys:
                continue
            findings.append(f"ICE03: {table} {next(iter(row.values()))}: {column} {value!r} is not a row of {target}")
    for table, column, allowed in VALUE_SETS:
        findings += [f"ICE03: {table} {next(iter(row.values()))}: {column} {row[column]} is none of {sorted(allowed)}"
                     for row in package.rows(table) if row[column] not in allowed]
    files, registry = set(package.keyed("File")), set(package.keyed("Registry"))
    for row in package.rows("Component"):
        attributes, key = int(row["Attributes"]), row["KeyPath"]
        if key == "" or attributes & COMPONENT_ODBC_KEY_PATH:
            continue
        table = ("Registry", registry) if attributes & COMPONENT_REGISTRY_KEY_PATH else ("File", files)
        if key not in table[1]:
            findings.append(f"ICE03: Component {row['Component']}: KeyPath {key!r} is not a row of {table[0]}")
    return findings


def ice09(package):
    """A component installed into SystemFolder is permanent: other programs may come to
    share what it put there."""
    return [f"ICE09: Component {row['Component']} installs to SystemFolder and is not permanent"
            for row in package.rows("Component")
            if row["Directory_"] == "SystemFolder" and not int(row["Attributes"]) & COMPONENT_PERMANENT]


def key_path_fault(package, component, roots):
    """Why a component's key path is not a registry value of its own under one of `roots`,
    or None."""
    attributes, key = int(component["Attributes"]), component["KeyPath"]
    if not attributes & COMPONENT_REGISTRY_KEY_PATH:
        return "its KeyPath is not a registry key"
    if key == "":
        return "its KeyPath is null"
    row = package.keyed("Registry").get(key)
    if row is None:
        return f"its KeyPath registry key {key} does not exist"
    if row["Component_"] != component["Component"]:
        return f"its KeyPath registry key {key} belongs to component {row['Component_']}"
    if row["Root"] not in roots:
        return f"its KeyPath registry key {key} is not under HKCU"
    return None


def ice38(package):
    """A component in the user's profile is judged by a value of that user's, not by a
    file that may roam or be missing while the install stands."""
    findings = []
    for component in package.rows("Component"):
        fault = package.in_profile(component["Directory_"]) and key_path_fault(package, component, {"1"})
        if fault:
            findings.append(f"ICE38: Component {component['Component']} installs to the user's profile and {fault}")
    return findings


def ice43(package):
    """A non-advertised shortcut's component is judged by a value of the user's: judged by
    a file, it would be installed for the first user on the computer only."""
    findings = []
    holders = {row["Component_"] for row in package.non_advertised_shortcuts()}
    for component in package.rows("Component"):
        fault = component["Component"] in holders and key_path_fault(package, component, {"1", "-1"})
        if fault:
            findings.append(f"ICE43: Component {component['Component']} has non-advertised shortcuts and {fault}")
    return findings


def ice57(package):
    """No component mixes a user's data with the machine's: installed for one user, it
    would stand half-installed for the others."""
    registry, findings = package.rows("Registry"), []
    shortcuts = package.non_advertised_shortcuts()
    files = package.components_with("File")
    for component in package.rows("Component"):
        name, attributes, key = component["Component"], int(component["Attributes"]), component["KeyPath"]
        own_place = package.place(component["Directory_"])
        data = [ROOT_PLACES.get(row["Root"], MACHINE) for row in registry if row["Component_"] == name]
        data += [package.place(row["Directory_"]) for row in shortcuts if row["Component_"] == name]
        if name in files or (key == "" and not attributes & COMPONENT_REGISTRY_KEY_PATH):
            data.append(own_place)
        if attributes & COMPONENT_ODBC_KEY_PATH:
            continue
        if attributes & COMPONENT_REGISTRY_KEY_PATH:
            row = package.keyed("Registry").get(key)
            key_place = ROOT_PLACES.get(row["Root"], MACHINE) if row else None
        else:
            key_place = own_place
        if USER in data and MACHINE in data:
            findings.append(f"ICE57: Component {name} has both per-user and per-machine data"
                            + (" with an HKCU registry KeyPath (a warning)" if key_place == USER else ""))
        elif key_place == MACHINE and EITHER in data:
            findings.append(f"ICE57: Component {name} has data that can be either per-user or per-machine and a "
                            "per-machine KeyPath")
        elif key_place == EITHER and USER in data:
            findings.append(f"ICE57: Component {name} has per-user data and a KeyPath that can be either per-user or "
                            "per-machine")
    return findings


def ice64(package):
    """Every folder the package makes in the user's profile is removed with it: a roaming
    profile would otherwise carry it to every computer the user logs on to."""
    standard = USER_ONLY_FOLDERS | ALLUSERS_FOLDERS
    removed = {row["DirProperty"] for row in package.rows("RemoveFile")
               if row["FileName"] == "" and int(row["InstallMode"]) & REMOVE_ON_UNINSTALL}
    return [f"ICE64: The directory {row['Directory']} is in the user profile but is not removed on uninstall "
            "(RemoveFile)" for row in package.rows("Directory")
            if row["Directory"] not in standard and package.in_profile(row["Directory"])
            and row["Directory"] not in removed]


def ice91(package):
    """A package that may install per machine puts nothing in a folder that is always the
    installing user's: the other users would never get it."""
    if package.property("ALLUSERS") not in ("1", "2"):
        return []
    directories = {row["Component"]: row["Directory_"] for row in package.rows("Component")}
    findings = [f"ICE91: The file {row['File']} will be installed to the per user directory {directories[row['Component_']]}"
                for row in package.rows("File") if package.place(directories.get(row["Component_"], "")) == USER]
    findings += [f"ICE91: The shortcut {row['Shortcut']} will be installed to the per user directory {row['Directory_']}"
                 for row in package.rows("Shortcut") if package.place(row["Directory_"]) == USER]
    return findings


RULES = (ice03, ice09, ice38, ice43, ice57, ice64, ice91)


def rule_findings(package):
    return [finding for rule in RULES for finding in rule(package)]


def main():
    msi, facts, row_files = sys.argv[1], read_facts(sys.argv[2]), sys.argv[3:]
    package = Package.read(msi)
    expected = Counter(tuple(line.split("\t")) for path in row_files for line in open(path).read().splitlines())
    findings = registration_findings(package, expected) + facts_findings(package, facts) + rule_findings(package)
    for finding in findings:
        print(f"check_msi: {msi}: {finding}")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
