#!/usr/bin/env python3
"""Runs the Python test modules matching the patterns in a folder, verbosely, and ends with the
tier's count line. Usage: run_suite.py FOLDER PATTERN..."""

import sys
import unittest

from tier_counts import count_line


def main(folder, *patterns):
    suite = unittest.TestSuite(unittest.defaultTestLoader.discover(folder, pattern=pattern, top_level_dir=folder)
                               for pattern in patterns)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    if result.testsRun == 0:
        print(f"no tests matching {' '.join(patterns)} in {folder}")
        failed = 1
    print(count_line(result.testsRun - failed - skipped, failed, skipped))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], *sys.argv[2:]))
