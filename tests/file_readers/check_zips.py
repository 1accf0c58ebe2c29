#!/usr/bin/python3
"""Checks the archives of our ZIP writer (build/native/bin/zip_samples) with independent
readers: Python's zipfile and Info-ZIP's `unzip -t`. Ends with the count line.
Usage: check_zips.py [ZIP_SAMPLES_PROGRAM]"""

import os
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))
from tier_counts import count_line  # noqa: E402

EXPECTED_DATE_TIME = (2024, 3, 15, 13, 45, 30)


def expected_entries(folder, archive):
    with open(os.path.join(folder, archive + ".names"), encoding="utf-8") as names:
        listed = [line.rstrip("\n") for line in names]
    entries = []
    for index, name in enumerate(listed):
        with open(os.path.join(folder, f"{archive}.{index}"), "rb") as content:
            entries.append((name, content.read()))
    return entries


def zipfile_problems(path, entries):
    problems = []
    with zipfile.ZipFile(path) as archive:
        bad = archive.testzip()
        if bad is not None:
            problems.append(f"testzip: bad CRC or data in {bad!r}")
        infos = archive.infolist()
        if [info.filename for info in infos] != [name for name, _ in entries]:
            problems.append(f"names {[info.filename for info in infos]!r}, expected {[n for n, _ in entries]!r}")
            return problems
        for info, (name, data) in zip(infos, entries):
            facts = {
                "flag bits": (info.flag_bits, 0x0800),
                "version needed": (info.extract_version, 20),
                "version made by": (info.create_version, 20),
                "made on": (info.create_system, 0),
                "method": (info.compress_type, zipfile.ZIP_DEFLATED),
                "date/time": (info.date_time, EXPECTED_DATE_TIME),
                "external attributes": (info.external_attr, 0),
                "size": (info.file_size, len(data)),
            }
            for label, (seen, wanted) in facts.items():
                if seen != wanted:
                    problems.append(f"{name}: {label} {seen!r}, expected {wanted!r}")
            if archive.read(info) != data:
                problems.append(f"{name}: content differs")
    return problems


def unzip_problems(path, entries):
    run = subprocess.run(["unzip", "-t", path], capture_output=True)
    output = run.stdout.decode("utf-8", "replace") + run.stderr.decode("utf-8", "replace")
    # unzip warns (exit 1) about an archive without entries; that is its verdict "valid and empty".
    fine = ("zipfile is empty" in output and run.returncode == 1) if not entries else \
        (run.returncode == 0 and "No errors detected" in output)
    return [] if fine else [f"unzip -t exit {run.returncode}: {output.strip()}"]


def main():
    writer = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "native", "bin", "zip_samples")
    passed = failed = 0
    with tempfile.TemporaryDirectory() as folder:
        run = subprocess.run([writer, folder], capture_output=True, text=True)
        if run.returncode != 0:
            print(f"FAILED {writer}: exit {run.returncode} {run.stderr.strip()}")
            print(count_line(0, 1))
            return 1
        archives = sorted(name for name in os.listdir(folder) if name.endswith(".zip"))
        for archive in archives:
            path = os.path.join(folder, archive)
            entries = expected_entries(folder, archive)
            for reader, problems in (("zipfile", lambda: zipfile_problems(path, entries)),
                                     ("unzip -t", lambda: unzip_problems(path, entries))):
                try:
                    found = problems()
                except Exception as error:  # a reader refusing the file is a finding, not a crash
                    found = [f"{type(error).__name__}: {error}"]
                if found:
                    failed += 1
                    print(f"FAILED {archive} ({reader}):")
                    for problem in found:
                        print(f"    {problem}")
                else:
                    passed += 1
                    print(f"ok {archive} ({reader}, {len(entries)} entries)")
        if not archives:
            print("FAILED: the writer made no archives")
            failed += 1
    print(count_line(passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
