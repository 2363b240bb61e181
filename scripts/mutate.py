#!/usr/bin/env python3
"""Mutation testing: makes one small fault at a time in the product's sources, rebuilds
what depends on it, runs the suites that cover it, and counts the faults the suites
catch. A developer's tool, too slow for the test command.

    scripts/mutate.py [--seed N] [--native N] [--wine N] [--only FOLDER,...] [--list]

Faults: a comparison flipped, && and || swapped, a number changed, a call or an
assignment dropped, an early return, a character of a wide string literal changed. The
sample is drawn with the seed from every fault the sources allow, spread over the
folders, so runs with the same seed and sources are comparable. The portable folders
(engine, update, registrar) are built in the native tree and run natively with the
sanitizers; the Win32 ones (win32, journal, ui, shell, undo) in the win64 tree, under
Wine. Faults
listed in scripts/mutate-equivalent.txt, which can change no behaviour, are skipped.
Every file is restored after each fault, also when the run is interrupted.
"""
import argparse
import collections
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EQUIVALENT = os.path.join(ROOT, "scripts", "mutate-equivalent.txt")
BACKUP = os.path.join(ROOT, "build", "mutate-backup")

# Folder: (tree, the sources, the CTest tests that cover them).
FOLDERS = {
    "engine": ("native", ["engine"], ["engine"]),
    # The rename journal and the take-back, sampled on their own: the record of every run.
    "journal-engine": ("native", ["engine/journal.cpp", "engine/take_back.cpp"], ["engine"]),
    "update": ("native", ["update/update_checker.cpp", "update/update_platform_std.cpp"], ["update"]),
    "registrar": ("native", ["shell/registrar.cpp"], ["registrar"]),
    "win32": ("win64", ["win32"], ["win32", "shell", "real-client"]),
    # The journals' files: written by the extension's page, read and settled by the Undo program.
    "journal": ("win64", ["win32/journal_folder.cpp", "win32/journal_folder.h"], ["undo", "entry-points"]),
    "ui": ("win64", ["ui"], ["win32", "shell", "real-client"]),
    "shell": ("win64", ["shell/com_base.cpp", "shell/shell_ext.cpp", "shell/exports.cpp", "shell/win32_registry.cpp"],
              ["shell", "registration", "real-client", "entry-points"]),
    "undo": ("win64", ["undo/undo.cpp"], ["undo"]),
}
TIMEOUT = {"native": 240, "win64": 600}
# What each tree builds for a fault: the programs of the suites, not the installers.
TARGETS = {"native": ["lark_engine_tests", "lark_update_tests", "lark_registrar_tests"],
           "win64": ["Larkspindle", "lark_win32_tests", "lark_shell_tests", "lark_client_tests", "lark_entry_tests",
                     "LarkspindleUndo", "lark_undo_tests"]}

COMPARISONS = [("==", "!="), ("!=", "=="), ("<=", ">"), (">=", "<"), (" < ", " >= "), (" > ", " <= ")]
STATEMENT_START = re.compile(r"^\s*(return|if|for|while|switch|case|default|else|do|break|continue|throw|using|"
                             r"namespace|template|typedef|struct|class|public|private|protected|#|//|\}|\{)")
CALL = re.compile(r"^(\s*)[A-Za-z_][\w:]*(\.|->|::)?[\w:\.\->]*\(.*\);\s*$")
ASSIGNMENT = re.compile(r"^(\s*)([a-z_][\w]*(?:(?:\.|->)[\w]+|\[[^\]]+\])*)\s*(=|\+=|-=|\|=|&=)\s*[^=].*;\s*$")
VOID_FUNCTION = re.compile(r"^(?:static\s+|inline\s+)?void\s+[\w:~]+\([^;]*\)\s*(?:const\s*)?(?:noexcept\s*)?\{\s*$")
NUMBER = re.compile(r"(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(u|U|L|ull)?(?![\w.])")
WIDE_STRING = re.compile(r'L"((?:[^"\\]|\\.)*)"')


def product_sources(folder):
    tree, paths, _ = FOLDERS[folder]
    # A file that another folder names itself is that folder's, with the suites that exercise it.
    claimed = {p for f, (_, ps, _) in FOLDERS.items() if f != folder for p in ps if os.path.isfile(os.path.join(ROOT, p))}
    files = []
    for path in paths:
        full = os.path.join(ROOT, path)
        if os.path.isdir(full):
            files += sorted(os.path.join(path, n) for n in os.listdir(full)
                            if n.endswith((".cpp", ".h")) and os.path.join(path, n) not in claimed)
        else:
            files.append(path)
    return files


def mutants_of_line(line):
    """(operator, mutated line) for every fault this line allows."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")) or "static_assert" in line:
        return []
    found = []
    code = line.split("//")[0]
    for old, new in COMPARISONS:
        start = 0
        while (at := code.find(old, start)) >= 0:
            if old.strip() in "<>" and ("template" in code or "#include" in code or "std::" in code[:at][-20:]):
                break
            found.append(("comparison", line[:at] + new + line[at + len(old):]))
            start = at + len(old)
    for old, new in ((" && ", " || "), (" || ", " && ")):
        start = 0
        while (at := code.find(old, start)) >= 0:
            found.append(("logic", line[:at] + new + line[at + len(old):]))
            start = at + len(old)
    for match in NUMBER.finditer(code):
        if WIDE_STRING.search(code[:match.start()] + '"') and code[:match.start()].count('"') % 2:
            continue  # inside a string
        text = match.group(1)
        value = int(text, 16) if text.startswith("0x") else int(text)
        replacement = (hex(value + 1) if text.startswith("0x") else str(value + 1)) if value != 1 else "0"
        found.append(("number", line[:match.start(1)] + replacement + line[match.end(1):]))
    if not STATEMENT_START.match(line):
        if ASSIGNMENT.match(line) and not re.match(r"^\s*(const\s+)?[A-Z\w:<>]+[\*&]?\s+\w+\s*=", line):
            found.append(("assignment dropped", ASSIGNMENT.match(line).group(1) + ";\n"))
        elif CALL.match(line) and " = " not in line:
            found.append(("call dropped", CALL.match(line).group(1) + ";\n"))
    for match in WIDE_STRING.finditer(code):
        body = match.group(1)
        letters = [i for i, c in enumerate(body) if c.isalpha() and (i == 0 or body[i - 1] != "\\")]
        if letters:
            i = letters[len(letters) // 2]
            changed = body[:i] + ("x" if body[i] != "x" else "y") + body[i + 1:]
            found.append(("string", line[:match.start(1)] + changed + line[match.end(1):]))
    return found


def all_mutants(folder):
    mutants = []
    for path in product_sources(folder):
        lines = open(os.path.join(ROOT, path), encoding="utf-8").read().splitlines(keepends=True)
        for number, line in enumerate(lines):
            for operator, mutated in mutants_of_line(line):
                mutants.append((path, number, operator, line, mutated))
            if VOID_FUNCTION.match(line):
                indent = re.match(r"\s*", lines[number + 1] if number + 1 < len(lines) else "").group(0) or "  "
                mutants.append((path, number, "early return", line, line + indent + "return;\n"))
    return mutants


def key(mutant):
    path, _, _, original, mutated = mutant
    return f"{path}|{original.strip()}|{mutated.strip()}"


def equivalents():
    known = {}
    if os.path.exists(EQUIVALENT):
        for line in open(EQUIVALENT, encoding="utf-8"):
            if line.strip() and not line.startswith("#"):
                mutant, _, reason = line.rstrip("\n").partition(" # ")
                known[mutant] = reason
    return known


def run(command, timeout, env=None):
    try:
        done = subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout, env=env)
        return done.returncode, done.stdout.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return None, ""


def restore_backup():
    """Puts back a file left mutated by a run that was killed outright."""
    if os.path.exists(BACKUP):
        with open(BACKUP, encoding="utf-8") as f:
            path = f.readline().rstrip("\n")
            text = f.read()
        with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
            f.write(text)
        os.remove(BACKUP)
        print(f"mutate: restored {path}, left mutated by an earlier run")


def build(tree):
    if not os.path.exists(os.path.join(ROOT, "build", tree, "CMakeCache.txt")):
        configured = run(["cmake", "--preset", tree], 900)[0]
        if configured != 0:
            return configured
    return run(["cmake", "--build", "--preset", tree, "--target", *TARGETS[tree]], 900)[0]


def run_suites(tree, tests):
    """The exit status of CTest over the tests, or None when they ran out of time."""
    return run(["ctest", "--preset", tree, "--timeout", str(TIMEOUT[tree]), "-R", "^(" + "|".join(tests) + ")$",
                "--stop-on-failure"], TIMEOUT[tree] * len(tests) + 60)[0]


def try_mutant(mutant, folder):
    """'killed', 'survived', 'timed out' or 'does not build'."""
    path, number, _, _, mutated = mutant
    tree, _, tests = FOLDERS[folder]
    full = os.path.join(ROOT, path)
    original = open(full, encoding="utf-8").read()
    lines = original.splitlines(keepends=True)
    lines[number] = mutated
    with open(BACKUP, "w", encoding="utf-8") as f:
        f.write(path + "\n" + original)
    try:
        with open(full, "w", encoding="utf-8") as f:
            f.write("".join(lines))
        if build(tree) != 0:
            return "does not build"
        status = run_suites(tree, tests)
        if status is None:
            return "timed out"
        return "killed" if status != 0 else "survived"
    finally:
        with open(full, "w", encoding="utf-8") as f:
            f.write(original)
        os.remove(BACKUP)


def sample(folders, count, seed):
    """A deterministic sample of `count` mutants spread over the folders in proportion to
    the faults each allows, at least a sixth of the count each."""
    pools = {f: sorted(all_mutants(f), key=lambda m: (m[0], m[1], m[2], m[4])) for f in folders}
    total = sum(len(p) for p in pools.values()) or 1
    chosen = []
    for folder, pool in pools.items():
        share = max(count // 6, round(count * len(pool) / total))
        rng = random.Random(f"{seed}:{folder}")
        chosen += [(folder, m) for m in rng.sample(pool, min(share, len(pool)))]
    return chosen


def main():
    arguments = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    arguments.add_argument("--seed", default="1")
    arguments.add_argument("--native", type=int, default=150, help="faults in engine, update and the registrar")
    arguments.add_argument("--wine", type=int, default=50, help="faults in win32, ui and shell")
    arguments.add_argument("--only", default="", help="comma-separated folders")
    arguments.add_argument("--list", action="store_true", help="print the sample and stop")
    args = arguments.parse_args()
    only = set(filter(None, args.only.split(",")))
    native = [f for f in FOLDERS if FOLDERS[f][0] == "native" and (not only or f in only)]
    wine = [f for f in FOLDERS if FOLDERS[f][0] == "win64" and (not only or f in only)]
    chosen = (sample(native, args.native, args.seed) if native else []) + (sample(wine, args.wine, args.seed) if wine else [])
    known = equivalents()

    if wine and not args.list and os.environ.get("LARK_WINE_SESSION") != os.path.join(ROOT, "build", "win64", "wine"):
        # One Wine session for every Wine suite of the run.
        session = os.path.join(ROOT, "cmake", "wine-session.sh")
        os.execv(session, [session, "win64", os.path.join(ROOT, "build", "win64", "wine"), sys.executable, *sys.argv])

    restore_backup()
    # Faults are only counted against suites that pass without them.
    for folder in sorted({f for f, _ in chosen}):
        tree, _, tests = FOLDERS[folder]
        if build(tree) != 0 or run_suites(tree, tests) != 0:
            print(f"mutate: the {tree} tree does not build or its suites for {folder} fail as they are")
            return 1
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    counts = collections.defaultdict(collections.Counter)
    survivors = []
    started = time.monotonic()
    try:
        for index, (folder, mutant) in enumerate(chosen, 1):
            path, number, operator, original, mutated = mutant
            where = f"{path}:{number + 1}"
            change = f"{operator}: {original.strip()}  ->  {mutated.strip()}"
            if args.list:
                print(f"{folder:9} {where:36} {change}")
                continue
            if key(mutant) in known:
                counts[folder]["equivalent"] += 1
                continue
            outcome = try_mutant(mutant, folder)
            counts[folder][outcome] += 1
            print(f"[{index}/{len(chosen)} {time.monotonic() - started:6.0f} s] {outcome:14} {where} {change}", flush=True)
            if outcome == "survived":
                survivors.append((folder, where, change, key(mutant)))
    except KeyboardInterrupt:
        print("mutate: interrupted; every file is restored")
    if args.list:
        return 0

    print("\nfolder     killed  survived  timed out  equivalent  does not build  score")
    for folder in FOLDERS:
        c = counts.get(folder)
        if not c:
            continue
        judged = c["killed"] + c["survived"] + c["timed out"]
        score = f"{100 * (c['killed'] + c['timed out']) / judged:5.1f}%" if judged else "   -"
        print(f"{folder:10} {c['killed']:6} {c['survived']:9} {c['timed out']:10} {c['equivalent']:11} "
              f"{c['does not build']:15}  {score}")
    if survivors:
        print("\nsurvivors (file:line, change; the key to list an equivalent one in scripts/mutate-equivalent.txt):")
        for folder, where, change, mutant_key in survivors:
            print(f"  {folder:9} {where}  {change}\n            key: {mutant_key}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
