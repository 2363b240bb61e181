#!/usr/bin/env python3
"""Fails when a file reaches into a folder above its own, so the layers stay as the build
links them:

    engine <- win32 <- update <- ui <- shell <- automation <- tests/support <- tests, fuzz, bench, tools, undo, installer

A file may include headers of its own folder and of folders below it, and name only the
types that those declare: a forward declaration of a higher layer's class is as much a
dependency as an include. The folders at the top never include each other, and the
product's own programs (installer/, tools/, undo/) are never built on test support. The engine
also stays free of <windows.h>.

    check_layers.py [ROOT]
"""
import pathlib
import re
import sys

RANKS = {"engine": 0, "win32": 1, "update": 2, "ui": 3, "shell": 4, "automation": 5, "tests/support": 6,
         "tests": 7, "fuzz": 7, "bench": 7, "tools": 7, "undo": 7, "installer": 7}
# Folders whose code ships or builds what ships, and so may not stand on test support.
PRODUCT_PROGRAMS = ("installer", "tools", "undo")
SOURCES = (".cpp", ".h", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.MULTILINE)
# A type a header declares at namespace level (its first column): class, struct, enum or alias.
TYPE = re.compile(r'^(?:class|struct|enum class|enum)\s+(?:\[\[\w+\]\]\s+)?(\w+)\s*(?:final\s*)?[:{]'
                  r'|^using\s+(\w+)\s*=', re.MULTILINE)
# Comments, and string and character literals, which name no type.
NOISE = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.DOTALL)
NAME = re.compile(r'\b[A-Za-z_]\w*\b')


def folder_of(relative):
    """The layer a path belongs to, or None for files outside the layers."""
    parts = pathlib.PurePosixPath(relative).parts
    if len(parts) > 2 and parts[0] == "tests" and parts[1] == "support":
        return "tests/support"
    return parts[0] if len(parts) > 1 and parts[0] in RANKS else None


def sources(root):
    """(relative path, layer, text) of every source file in a layer."""
    for path in sorted(root.rglob("*")):
        relative = path.relative_to(root).as_posix()
        if path.suffix not in SOURCES or relative.startswith("build/") or not path.is_file():
            continue
        own = folder_of(relative)
        if own is not None:
            yield relative, own, path.read_text(encoding="utf-8", errors="replace")


def declared_types(files):
    """{type name: lowest rank of a layer whose headers declare it}."""
    ranks = {}
    for relative, own, text in files:
        if not relative.endswith(".h"):
            continue
        for match in TYPE.finditer(NOISE.sub(" ", text)):
            name = match.group(1) or match.group(2)
            ranks[name] = min(ranks.get(name, RANKS[own]), RANKS[own])
    return ranks


def problems(root):
    found = []
    files = list(sources(root))
    types = declared_types(files)
    for relative, own, text in files:
        code = NOISE.sub(lambda m: "\n" * m.group(0).count("\n"), text)
        for match in NAME.finditer(code):
            rank = types.get(match.group(0))
            if rank is not None and rank > RANKS[own]:
                line = code.count("\n", 0, match.start()) + 1
                found.append(f"{relative}:{line}: {own}/ names {match.group(0)}, a type of a layer above it")
        for match in INCLUDE.finditer(text):
            kind, header = match.groups()
            line = text.count("\n", 0, match.start()) + 1
            if kind == "<":
                if own == "engine" and header.lower() == "windows.h":
                    found.append(f"{relative}:{line}: the engine includes <windows.h>")
                continue
            target = folder_of(header)
            if target == "tests/support" and own in PRODUCT_PROGRAMS:
                found.append(f"{relative}:{line}: {own}/ is built on test support ({header})")
                continue
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
    print(f"check_layers: {len(found)} upward includes, names of higher layers' types and programs on test support")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
