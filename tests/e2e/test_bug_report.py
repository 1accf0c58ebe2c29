"""The bug report file that a failing program leaves beside itself, under wine64: one complete
report per exception, in UTF-8 without byte order mark, each ended by CR LF CR LF, with the
header, the call stack of every thread down to the failing source line, the registers, the
stack dump, the disassembly and the system lists; a repeated failure counted instead of stored
twice; programs failing at the same moment both landing in the file."""

import re
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from crash_host_runs import CrashHosts
from wine_prefix import BUILD, WinePrefix, windows_path

REPORT_FILE = "bugreport.txt"


def split_reports(data):
    """The reports of a report file: each begins with its "date/time" line."""
    text = data.decode("utf-8")
    starts = [m.start() for m in re.finditer(r"(?:^|(?<=\r\n))date/time", text)]
    return [text[a:b] for a, b in zip(starts, starts[1:] + [len(text)])]


def header_field(report, label):
    match = re.search(r"(?:^|\r\n)" + re.escape(label) + r" *: ([^\r\n]*)", report)
    return match.group(1) if match else None


def section(report, title):
    """The content lines of the section whose title starts with `title`."""
    match = re.search(r"\r\n\r\n" + re.escape(title) + r"[^\r\n]*\r\n(.*?)(?=\r\n\r\n|$)", report, re.S)
    return match.group(1).split("\r\n") if match else None


class BugReportTest(unittest.TestCase):
    bits = 64
    digits = 16
    registers = ("rax", "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r15", "rip", "rsp", "rbp")
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        cls.prefix.ensure_created()
        cls.prefix.keep_warm()
        cls.hosts = CrashHosts(cls.prefix, cls.bits)
        cls.work = BUILD / f"bug_reports{cls.bits}"
        shutil.rmtree(cls.work, ignore_errors=True)
        for name in ("main-av", "main-throw", "twice", "worker", "together", "hang"):
            (cls.work / name).mkdir(parents=True)
            shutil.copy(cls.hosts.folder / "crash_host.exe", cls.work / name / "crash_host.exe")

        def run(folder, scenario):
            return cls.hosts.run_in(cls.work / folder / "crash_host.exe", scenario)

        jobs = {"main-av": lambda: run("main-av", "main-av"), "main-throw": lambda: run("main-throw", "main-throw"),
                "worker": lambda: run("worker", "worker-throw"),
                "together-a": lambda: run("together", "main-av"),
                "together-b": lambda: run("together", "divide-by-zero"), "trace": cls.trace_hung_host}
        cls.results = CrashHosts.run_all(jobs)
        cls.results["twice"] = [run("twice", "main-av"), run("twice", "main-av")]

    @classmethod
    def trace_hung_host(cls):
        """Runs qrxtrace against a host that stands still, and against a process id that does
        not exist; then lets the host go."""
        log = cls.hosts.next_log()
        for stale in (log, Path(str(log) + ".stop")):
            stale.unlink(missing_ok=True)
        host = subprocess.Popen([cls.prefix.loader, str(cls.work / "hang" / "crash_host.exe"), windows_path(log), "hang"],
                                env=cls.prefix.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 300
            pid = None
            while pid is None and time.monotonic() < deadline and host.poll() is None:
                for line in CrashHosts.read(log):
                    if line.startswith("hanging pid="):
                        pid = int(line.split("=", 1)[1])
                time.sleep(0.2)
            tool = str(BUILD / f"win{cls.bits}" / "qrxtrace.exe")
            traced = cls.prefix.run([tool, str(pid)], timeout=300) if pid else None
            missing = cls.prefix.run([tool, "4000000"], timeout=300)
        finally:
            Path(str(log) + ".stop").touch()
            try:
                host.wait(timeout=120)
            except subprocess.TimeoutExpired:
                host.kill()
        return traced, missing, CrashHosts.read(log)

    def reports(self, folder):
        path = self.work / folder / REPORT_FILE
        self.assertTrue(path.exists(), f"no {REPORT_FILE} in {folder}")
        data = path.read_bytes()
        self.assertFalse(data.startswith(b"\xef\xbb\xbf"), "the file starts with a byte order mark")
        self.assertTrue(data.endswith(b"\r\n\r\n"))
        return split_reports(data)

    def test_a_fault_leaves_one_complete_report_with_header_and_every_section(self):
        self.assertEqual(self.results["main-av"].exit_code, 1)
        reports = self.reports("main-av")
        self.assertEqual(len(reports), 1)
        report = reports[0]
        self.assertRegex(report, r"^date/time +: \d{4}-\d\d-\d\d, \d\d:\d\d:\d\d, \d+ms\r\n")
        self.assertEqual(header_field(report, "executable"), "crash_host.exe")
        self.assertEqual(header_field(report, "exception class"), "EAccessViolation")
        self.assertRegex(header_field(report, "exception message"), r"^Access violation at address")
        self.assertEqual(header_field(report, "exception number"), "1")
        self.assertEqual(header_field(report, "Quarrex version"), "5.1.2")
        self.assertRegex(header_field(report, "process id"), r"^\$[0-9a-f]+$")
        self.assertRegex(header_field(report, "callstack crc"), r"^\$[0-9a-f]{8}, \$[0-9a-f]{8}, \$[0-9a-f]{8}$")
        self.assertRegex(header_field(report, "compiled with"), r"GCC")
        self.assertRegex(header_field(report, "operating system"), r"^Windows .* build \d+$")
        self.assertNotIn("will be calculated soon", report)
        # Values start one column past the longest label.
        labels = [line.split(" :")[0].rstrip() for line in report.split("\r\n\r\n")[0].split("\r\n")]
        width = max(map(len, labels)) + 1
        for line in report.split("\r\n\r\n")[0].split("\r\n"):
            self.assertEqual(line[width:width + 2], ": ", line)
        self.assertNotRegex(report, r" \r\n")

        registers = section(report, "cpu registers:")
        self.assertIsNotNone(registers)
        names = [line.split(" = ")[0] for line in registers]
        for name in self.registers:
            self.assertIn(name, names)
        for line in registers:
            self.assertRegex(line, r"^\w+ = [0-9a-f]{%d}$" % self.digits)
        dump = section(report, "stack dump:")
        self.assertTrue(dump and len(dump) <= 20)
        self.assertRegex(dump[0], r"^[0-9a-f]{%d}  ([0-9a-f]{2} ){8}- ([0-9a-f]{2} ){8} " % self.digits)
        listing = section(report, "disassembling:")
        self.assertTrue(listing and any(">" in line for line in listing), listing)

    def test_the_crashed_threads_stack_names_the_failing_function_and_its_source_line(self):
        report = self.reports("main-av")[0]
        stack = section(report, "main thread (")
        self.assertIsNotNone(stack, report[:3000])
        top = stack[0]
        self.assertRegex(top, r"^[0-9a-f]{%d} " % self.digits)
        self.assertRegex(top, r"crash_host\.exe +crash_host +\d+ .*Run\b", "\n".join(stack))
        self.assertTrue(any(re.search(r"\bmain\b", line) for line in stack), "\n".join(stack))

    def test_a_thrown_exception_shows_the_throwing_call_on_top(self):
        self.assertEqual(self.results["main-throw"].exit_code, 1)
        report = self.reports("main-throw")[0]
        self.assertEqual(header_field(report, "exception class"), "runtime_error")
        self.assertEqual(header_field(report, "exception message"), "main failed.")
        stack = section(report, "main thread (")
        self.assertIsNotNone(stack)
        self.assertRegex("\n".join(stack[:3]), r"crash_host +\d+ .*Run\b", "\n".join(stack))

    def test_a_worker_failure_reports_the_worker_and_the_main_thread(self):
        self.assertEqual(self.results["worker"].exit_code, 0)
        report = self.reports("worker")[0]
        titles = re.findall(r"\r\n\r\n([^\r\n]+)", report)
        self.assertRegex(titles[0], r"^thread \$[0-9a-f]+")
        self.assertTrue(any(title.startswith("main thread (") for title in titles[1:]), titles)
        self.assertIn("modules:", titles)
        modules = section(report, "modules:")
        self.assertTrue(any(" crash_host.exe " in line for line in modules), modules)
        self.assertTrue(any(" ntdll.dll " in line.lower() for line in modules), modules)

    def test_a_repeated_failure_is_counted_instead_of_stored_twice(self):
        self.assertEqual([run.exit_code for run in self.results["twice"]], [1, 1])
        reports = self.reports("twice")
        self.assertEqual(len(reports), 1)
        self.assertEqual(header_field(reports[0], "count"), "2")
        lines = reports[0].split("\r\n")
        crc_line = next(i for i, line in enumerate(lines) if line.startswith("callstack crc"))
        self.assertTrue(lines[crc_line + 1].startswith("count "))
        self.assertEqual(lines[crc_line + 1].index(":"), lines[crc_line].index(":"))

    def test_programs_failing_at_the_same_moment_both_land_in_the_file(self):
        reports = self.reports("together")
        classes = sorted(header_field(report, "exception class") for report in reports)
        self.assertEqual(classes, ["EAccessViolation", "EDivByZero"])
        for report in reports:
            self.assertTrue(report.endswith("\r\n\r\n"))
            self.assertIsNotNone(header_field(report, "callstack crc"))


    def test_qrxtrace_prints_the_state_of_a_hung_program_which_then_goes_on(self):
        traced, missing, lines = self.results["trace"]
        self.assertIsNotNone(traced, lines)
        self.assertEqual(traced.returncode, 0, traced.stderr)
        report = traced.stdout.decode("utf-8")
        self.assertRegex(report, r"^date/time +: ")
        self.assertIsNone(header_field(report, "exception class"))
        self.assertEqual(header_field(report, "exception message"), "The application seems to be frozen.")
        stack = section(report, "main thread (")
        self.assertIsNotNone(stack, report[:2000])
        self.assertTrue(any("HangUntilStopped" in line for line in stack), "\n".join(stack))
        self.assertIn("hang ended", lines)
        self.assertEqual(missing.returncode, 1)
        self.assertIn(b"no such process", missing.stderr)


if __name__ == "__main__":
    unittest.main()
