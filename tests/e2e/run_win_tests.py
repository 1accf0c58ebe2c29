#!/usr/bin/env python3
"""Runs the Win32 edge tests (win_tests.exe) in the project's Wine prefix of the given width."""

import sys

from wine_prefix import BUILD, WinePrefix


def main(bits):
    prefix = WinePrefix(bits)
    prefix.ensure_created()
    try:
        log = BUILD / f"win_tests{bits}.log"
        completed = prefix.run([str(BUILD / f"win{bits}" / "tests" / "win_tests.exe"), "--gtest_brief=1"],
                               timeout=1800)
        output = completed.stdout.decode(errors="replace")
        log.write_text(output + completed.stderr.decode(errors="replace"))
        print(output, end="")
        return 0 if completed.returncode == 0 else 1
    finally:
        prefix.stop()


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1]) if len(sys.argv) > 1 else 64))
