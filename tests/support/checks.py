"""Checks for the test scripts: each compares an expected value with the actual one,
prints a failure at once, and the script ends with a count."""


class Checks:
    def __init__(self, name):
        self.name = name
        self.passes = 0
        self.failures = []
        self.skipped = []

    def check(self, what, expected, actual):
        if expected == actual:
            self.passes += 1
        else:
            self.failures.append(what)
            print(f"FAILED: {what}\n  expected: {expected!r}\n  actual:   {actual!r}")

    def skip(self, what, why):
        """A check this machine cannot make, said out loud and counted, never passed."""
        self.skipped.append(what)
        print(f"SKIPPED: {what}: {why}")

    def finish(self):
        """Prints the count; the exit status for the script."""
        skipped = f", {len(self.skipped)} skipped" if self.skipped else ""
        print(f"{self.name}: {self.passes} checks passed, {len(self.failures)} failed{skipped}")
        return 1 if self.failures else 0
