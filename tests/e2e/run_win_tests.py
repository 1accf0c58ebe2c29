#!/usr/bin/env python3
"""Runs the Win32 edge tests (build/winBITS/tests/win_tests.exe) in the project's Wine prefix
and ends with the count line. The 32-bit build runs in the same (WoW64) prefix."""

import sys
from pathlib import Path

from wine_prefix import BUILD, WinePrefix, windows_path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
from tier_counts import count_line, gtest_counts  # noqa: E402


def run_win_tests(prefix, bits):
    """Runs the tests in a prefix that is already set up; (passed, failed, skipped)."""
    result = BUILD / f"win_tests{bits}.xml"
    result.unlink(missing_ok=True)
    completed = prefix.run([str(BUILD / f"win{bits}" / "tests" / "win_tests.exe"), "--gtest_brief=1",
                            f"--gtest_output=xml:{windows_path(result)}"], timeout=3600)
    output = completed.stdout.decode(errors="replace")
    (BUILD / f"win_tests{bits}.log").write_text(output + completed.stderr.decode(errors="replace"))
    print(output, end="")
    passed, failed, skipped = gtest_counts(result)
    if completed.returncode != 0 and failed == 0:
        print(f"win_tests.exe ended with exit code {completed.returncode}")
        failed = 1
    return passed, failed, skipped


def main(bits):
    prefix = WinePrefix()
    prefix.ensure_created()
    prefix.keep_warm()
    try:
        passed, failed, skipped = run_win_tests(prefix, bits)
    finally:
        prefix.stop()
    print(count_line(passed, failed, skipped))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1]) if len(sys.argv) > 1 else 64))
