"""A Wine prefix as the installer tests see it: running programs in it, its registry as
.reg exports or single values of one registry view, its drive C, and before-and-after
comparisons of both."""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CMAKE = os.path.join(HERE, "..", "..", "cmake")
WINE = os.path.join(CMAKE, "wine.sh")

CLASSES = r"HKEY_LOCAL_MACHINE\Software\Classes"
UNINSTALL = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall"
APPROVED = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved"
WHOLE_REGISTRY = (r"HKEY_LOCAL_MACHINE\Software", r"HKEY_CURRENT_USER\Software")
# Wine's user32 records the session's display settings here the first time any program
# opens a window; it is Wine's own state, not an installer's.
WINE_SESSION_KEYS = r"HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters"
# What Wine's launcher (start.exe) prints when it cannot start the program it was named.
NOT_STARTED = "Application could not be started, or no application associated with the specified file."


def enter_session(kind, prefix):
    """Re-runs this script inside a Wine session of `kind` for `prefix`, unless it runs in
    one already; exits 77 (skipped) where the session cannot run its programs."""
    if os.environ.get("LARK_WINE_SESSION") != prefix:
        session = os.path.join(CMAKE, "wine-session.sh")
        os.execv(session, [session, kind, prefix, sys.executable, *sys.argv])
    if os.environ.get("LARK_WINE_SKIP"):
        print("skipped:", os.environ["LARK_WINE_SKIP"])
        sys.exit(77)


def windows_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


def reg_string(text):
    """A string as a .reg export writes it."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_text(data):
    """The string that a .reg export's quoted data stands for."""
    return re.sub(r'\\(.)', r"\1", data[1:-1])


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


def value(snapshot, key, name):
    return snapshot.get(key, {}).get(name)


def differences(before, after, empty_keys_count=True):
    """Registry keys and values added, removed or changed, as readable lines. Without
    `empty_keys_count`, a key that holds no values where it exists may come or go: the
    comparison is of what the registry holds."""
    lines = []
    for key in sorted(set(before) | set(after)):
        if key.startswith(WINE_SESSION_KEYS):
            continue
        if not empty_keys_count and not before.get(key) and not after.get(key):
            continue
        if key not in after:
            lines.append(f"removed [{key}]")
        elif key not in before:
            lines.append(f"added [{key}]")
        elif before[key] != after[key]:
            lines.append(f"changed [{key}]")
    return lines


def product_rows(snapshot, clsid, skip=()):
    """(key, name, data) of every value whose key or data names the class or the product,
    leaving out keys below the prefixes in skip."""
    return sorted((key, name, data) for key, values in snapshot.items() for name, data in values.items()
                  if not key.startswith(skip) and any(mark in (key + data).lower() for mark in (clsid.lower(), "larkspindle")))


def user_rows(rows_folder, folder):
    """{(key, value name): the data each build's per-user row may leave}, from the
    registrar's rows (rows-x64.txt, rows-x86.txt) for DLLs installed in `folder`. Wine 8
    keeps one HKCU\\Software\\Classes for both views, so where the x64 and the x86 row
    share a key and a name, Wine holds one of the two; Windows keeps the x86 one under
    Classes\\Wow6432Node. Either is allowed."""
    rows = {}
    for build in ("x64", "x86"):
        with open(os.path.join(rows_folder, f"rows-{build}.txt")) as f:
            for line in f.read().splitlines():
                _, root, key, name, data = line.split("\t")
                data = data.replace("[INSTALLDIR]", folder + "\\").replace("[X86DIR]", folder + "\\x86\\")
                assert root == "HKCU", line
                rows.setdefault((r"HKEY_CURRENT_USER" + "\\" + key, name or "@"), set()).add(reg_string(data))
    return rows


def same_bytes(a, b):
    if not os.path.exists(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


class WinePrefix:
    def __init__(self, path, scratch):
        self.path = path
        self.scratch = scratch  # a folder of the test's own, for exports and batch files
        self.drive_c = os.path.join(path, "drive_c")

    def environment(self):
        return dict(os.environ, WINEPREFIX=self.path)

    def wine(self, *args, timeout=120, env=None):
        status = self._wine_once(args, timeout, env)
        if status != 0 and NOT_STARTED in self.last_output:
            # Wine's launcher could not start the program at all: its new process died
            # before it ran (seen once, in a CI run, as "Internal error" for reg). The
            # program never ran, so starting it again repeats nothing; a second refusal
            # is reported as the failure it is.
            print(f"wine_prefix: Wine could not start {args[0]}; starting it again", flush=True)
            status = self._wine_once(args, timeout, env)
        return status

    def _wine_once(self, args, timeout, env):
        run = subprocess.run(["timeout", "-k", "5", str(timeout), WINE, *args], env=env or self.environment(),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.last_output = run.stdout.decode("utf-8", "replace")
        return run.returncode

    def start(self):
        """Keeps a wineserver and Wine's own services running for this prefix. They live
        on after the call, so they get none of our pipes: a child holding one would keep
        every later call waiting for its end."""
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.environment())
        subprocess.run(["timeout", "-k", "5", "20", WINE, "--server", "-p"], **quiet)
        subprocess.run(["timeout", "-k", "5", "60", WINE, "cmd.exe", "/c", "exit"], **quiet)

    def stop(self):
        self.wine("--server", "-k", timeout=20)

    def unix_path(self, path):
        assert path[:3].upper() == "C:\\", path
        return os.path.join(self.drive_c, *path[3:].split("\\"))

    def run_exact(self, command_line):
        """Runs a command line exactly as written. NSIS reads /D= and _?= only when no
        quote comes before them, and wine would quote an argument that holds a space; a
        batch file passes its line through untouched and waits for the program to end."""
        batch = os.path.join(self.scratch, "run.bat")
        with open(batch, "w", newline="\r\n") as f:
            f.write(f"@{command_line}\nexit /b %errorlevel%\n")
        return self.wine("cmd", "/c", windows_path(batch))

    def export(self, root):
        """One key and everything below it as {key: {value name: data as written}}, by
        the 64-bit reg; empty only when reg says the key does not exist. Any other failure
        raises: a snapshot without a key that is there would show everything below it as
        added, or removed, by whatever ran between two snapshots."""
        path = os.path.join(self.scratch, "export.reg")
        if os.path.exists(path):
            os.remove(path)
        # reg's messages in English, whatever this machine's language, to tell a missing
        # key from a failure.
        status = self.wine("reg", "export", root, windows_path(path), "/y", env=dict(self.environment(), LC_ALL="C"))
        if status != 0:
            if status == 1 and "Unable to find the specified registry key" in self.last_output:
                return {}
            raise RuntimeError(f"reg export {root} failed with {status}: {self.last_output.strip()}")
        with open(path, "rb") as f:
            keys = parse_reg(f.read().decode("utf-16"))
        os.remove(path)
        return keys

    def registry(self, roots):
        """The keys below `roots` as .reg exports read them; a missing root adds nothing."""
        snapshot = {}
        for root in roots:
            snapshot.update(self.export(root))
        return snapshot

    def files(self):
        found = set()
        for folder, dirs, names in os.walk(self.drive_c):
            rel = os.path.relpath(folder, self.drive_c)
            found.update(os.path.join(rel, n) for n in dirs + names)
        return found

    def user_registration(self, clsid):
        """What a per-user install registered: the product's rows under HKCU's classes and
        approvals."""
        return product_rows({**self.export(r"HKCU\Software\Classes"),
                             **self.export(r"HKCU\Software\Microsoft\Windows\CurrentVersion\Shell Extensions")}, clsid)

    def query(self, key, name, view):
        """The data of a string value in one registry view, or None. Each view is read by
        the reg of its own bitness: Wine's 64-bit reg with /reg:32 misses the keys that
        both views share (HKCR\\* and HKCR\\Directory), which Windows' shows."""
        reg = r"C:\windows\syswow64\reg.exe" if view == 32 else r"C:\windows\system32\reg.exe"
        if self.wine(reg, "query", key, *(["/ve"] if name is None else ["/v", name]), f"/reg:{view}", timeout=60):
            return None
        for line in self.last_output.splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3 and parts[1] == "REG_SZ":
                return parts[2]
        return None

    def registration(self, clsid, view, as_data=False):
        """The six entries registration writes, as one view of the registry holds them.
        as_data reads the 32-bit view where Wine keeps it, with the 64-bit reg, for a
        prefix that runs no 32-bit program: the class under Classes\Wow6432Node, the
        approval under Software\Wow6432Node, the handlers in keys both views share."""
        classes, approved, reader = "HKCR", APPROVED, view
        if as_data and view == 32:
            classes, reader = r"HKCR\Wow6432Node", 64
            approved = APPROVED.replace("\\Software\\", "\\Software\\Wow6432Node\\")
        server = rf"{classes}\CLSID\{clsid}\InprocServer32"
        return {
            "* handler": self.query(r"HKCR\*\shellex\PropertySheetHandlers\Larkspindle", None, reader),
            "Directory handler": self.query(r"HKCR\Directory\shellex\PropertySheetHandlers\Larkspindle", None, reader),
            "class": self.query(rf"{classes}\CLSID\{clsid}", None, reader),
            "server": self.query(server, None, reader),
            "threading model": self.query(server, "ThreadingModel", reader),
            "approved": self.query(approved, clsid, reader),
        }

    def shows_page_of(self, client, dll):
        """Runs a real-client test program, which opens the Properties sheet of a file and
        checks that its Rename page, and the context its dialogs run under, come from
        `dll`; its exit code."""
        env = dict(self.environment(), LARK_EXPECT_DLL=dll)
        status = self.wine(client, "--gtest_brief=1", env=env)
        if status != 0:
            print(self.last_output)
        return status
