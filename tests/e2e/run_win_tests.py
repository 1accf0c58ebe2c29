#!/usr/bin/env python3
"""Runs the Win32 edge tests (win_tests.exe) in the project's Wine prefix of the given width."""

import sys

from wine_prefix import BUILD, WinePrefix


def run_win_tests(prefix):
    """Runs the tests in a prefix that is already set up; True when all passed."""
    completed = prefix.run([str(BUILD / f"win{prefix.bits}" / "tests" / "win_tests.exe"), "--gtest_brief=1"],
                           timeout=3600)
    output = completed.stdout.decode(errors="replace")
    (BUILD / f"win_tests{prefix.bits}.log").write_text(output + completed.stderr.decode(errors="replace"))
    print(output, end="")
    return completed.returncode == 0


def main(bits):
    prefix = WinePrefix(bits)
    prefix.ensure_created()
    try:
        return 0 if run_win_tests(prefix) else 1
    finally:
        prefix.stop()


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1]) if len(sys.argv) > 1 else 64))
