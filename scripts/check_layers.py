#!/usr/bin/env python3
"""Fails when a file includes a header of a folder above its own, so the layers stay as
the build links them:

    engine <- win32 <- update <- ui <- shell <- tests/support <- tests, fuzz, bench, tools

A file may include headers of its own folder and of folders below it; the folders at the
top never include each other. The engine also stays free of <windows.h>.

    check_layers.py [ROOT]
"""
import pathlib
import re
import sys

RANKS = {"engine": 0, "win32": 1, "update": 2, "ui": 3, "shell": 4, "tests/support": 5,
         "tests": 6, "fuzz": 6, "bench": 6, "tools": 6}
SOURCES = (".cpp", ".h", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.MULTILINE)


def folder_of(relative):
    """The layer a path belongs to, or None for files outside the layers."""
    parts = pathlib.PurePosixPath(relative).parts
    if len(parts) > 2 and parts[0] == "tests" and parts[1] == "support":
        return "tests/support"
    return parts[0] if len(parts) > 1 and parts[0] in RANKS else None


def problems(root):
    found = []
    for path in sorted(root.rglob("*")):
        relative = path.relative_to(root).as_posix()
        if path.suffix not in SOURCES or relative.startswith("build/") or not path.is_file():
            continue
        own = folder_of(relative)
        if own is None:
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            kind, header = match.groups()
            line = text.count("\n", 0, match.start()) + 1
            if kind == "<":
                if own == "engine" and header.lower() == "windows.h":
                    found.append(f"{relative}:{line}: the engine includes <windows.h>")
                continue
            target = folder_of(header)
            if target is None or target == own:
                continue
            if RANKS[target] >= RANKS[own]:
                found.append(f"{relative}:{line}: {own}/ includes {header}, of {target}/, which is not below it")
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    found = problems(root)
    for problem in found:
        print(problem)
    print(f"check_layers: {len(found)} upward includes")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
