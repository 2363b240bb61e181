"""Checks for the test scripts: each compares an expected value with the actual one,
prints a failure at once, and the script ends with a count."""


class Checks:
    def __init__(self, name):
        self.name = name
        self.passes = 0
        self.failures = []

    def check(self, what, expected, actual):
        if expected == actual:
            self.passes += 1
        else:
            self.failures.append(what)
            print(f"FAILED: {what}\n  expected: {expected!r}\n  actual:   {actual!r}")

    def finish(self):
        """Prints the count; the exit status for the script."""
        print(f"{self.name}: {self.passes} checks passed, {len(self.failures)} failed")
        return 1 if self.failures else 0
