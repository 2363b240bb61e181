#!/usr/bin/env python3
"""Checks a built MSI's own registration against the rows DllRegisterServer writes: the
package's Registry table, each row with its component's registry view, must hold
exactly the rows that the registrar makes from the module's script for each build.

    check_msi.py MSI ROWS...     (ROWS: files of lark-registry-rows --rows lines)
"""
import subprocess
import sys

ROOTS = {"0": "HKCR", "1": "HKCU", "2": "HKLM"}
COMPONENT_64BIT = 256


def table(msi, name):
    """The rows of one table, as lists of columns, without its three header lines."""
    text = subprocess.run(["msiinfo", "export", msi, name], check=True, stdout=subprocess.PIPE).stdout.decode("utf-8")
    return [line.split("\t") for line in text.splitlines()[3:]]


def main():
    msi, row_files = sys.argv[1], sys.argv[2:]
    views = {c[0]: ("64" if int(c[3]) & COMPONENT_64BIT else "32") for c in table(msi, "Component")}
    in_package = sorted((views[r[5]], ROOTS.get(r[1], r[1]), r[2], r[3], r[4]) for r in table(msi, "Registry"))
    expected = sorted(tuple(line.split("\t")) for path in row_files for line in open(path).read().splitlines())
    if in_package != expected:
        print(f"check_msi: {msi} does not register what DllRegisterServer writes")
        for row in sorted(set(expected) - set(in_package)):
            print("  missing:", row)
        for row in sorted(set(in_package) - set(expected)):
            print("  extra:  ", row)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
