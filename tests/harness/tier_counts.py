"""The count line that ends every test tier's output, "N passed, N failed[, N skipped]",
and the counts of a GoogleTest XML result file."""

import sys
import xml.etree.ElementTree as ElementTree


def count_line(passed, failed, skipped=0):
    return f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else "")


def gtest_counts(xml_path):
    """(passed, failed, skipped) of a GoogleTest result file; a missing or unreadable
    file means the test program did not get to the end, which counts as one failure."""
    try:
        root = ElementTree.parse(xml_path).getroot()
    except (OSError, ElementTree.ParseError):
        return 0, 1, 0
    cases = root.findall(".//testcase")
    failed = sum(1 for case in cases if case.find("failure") is not None or case.find("error") is not None)
    skipped = sum(1 for case in cases if case.get("result") == "skipped" or case.get("status") == "notrun"
                  or case.find("skipped") is not None)
    return len(cases) - failed - skipped, failed, skipped


if __name__ == "__main__":
    # tier_counts.py XML [exit-code]: prints the count line of a GoogleTest run; exits non-zero
    # when a case failed or the program's own exit code (if given) was non-zero.
    passed, failed, skipped = gtest_counts(sys.argv[1])
    exit_code = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    if exit_code != 0 and failed == 0:
        failed = 1
    print(count_line(passed, failed, skipped))
    sys.exit(1 if failed else 0)
