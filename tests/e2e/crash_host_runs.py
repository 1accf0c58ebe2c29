"""Runs the crash hosts (tests/crash_hosts) in the project's Wine prefix and reads back what
their registered handlers logged: one "exception|..." line per handled exception, the phase
and action lines after it, and the host's own progress lines."""

import threading
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

from wine_prefix import BUILD, windows_path


@dataclass
class Handled:
    """One exception as the host's handlers saw it, with the phases and actions that followed."""
    fields: dict
    phases: list = field(default_factory=list)
    actions: list = field(default_factory=list)

    def __getitem__(self, name):
        return self.fields[name]


@dataclass
class HostRun:
    exit_code: int
    lines: list
    exceptions: list
    hidden: list

    def has(self, line):
        return line in self.lines


def parse_fields(text):
    return dict(part.split("=", 1) for part in text.split("|") if "=" in part)


def parse_log(lines):
    exceptions, hidden = [], []
    for line in lines:
        if line.startswith("exception|"):
            exceptions.append(Handled(parse_fields(line[len("exception|"):])))
        elif line.startswith("hidden|"):
            hidden.append(parse_fields(line[len("hidden|"):]))
        elif line.startswith("phase=") and exceptions:
            exceptions[-1].phases.append(int(line[len("phase="):]))
        elif line.startswith("action=") and exceptions:
            exceptions[-1].actions.append(int(line[len("action="):]))
    return exceptions, hidden


class CrashHosts:
    def __init__(self, prefix, bits):
        self.prefix = prefix
        self.folder = BUILD / f"win{bits}" / "crash_hosts"
        self.work = BUILD / f"crash_runs{bits}"
        self.work.mkdir(parents=True, exist_ok=True)
        self.runs = 0
        self.lock = threading.Lock()

    def next_log(self, suffix=".log"):
        with self.lock:
            self.runs += 1
            return self.work / f"run{self.runs}{suffix}"

    @staticmethod
    def run_all(jobs, workers=2):
        """Runs independent host runs side by side (each start under emulation is slow and
        uses one core); jobs maps a name to a function without arguments."""
        with ThreadPoolExecutor(max_workers=workers) as pool:
            futures = {name: pool.submit(job) for name, job in jobs.items()}
            return {name: future.result() for name, future in futures.items()}

    def run(self, *scenarios, host="crash_host.exe", timeout=300, wait_for=None):
        """Runs the host with the scenarios; wait_for: a log line that a later process (a
        restarted instance) writes, waited for after the first process ended."""
        return self.run_in(self.folder / host, *scenarios, timeout=timeout, wait_for=wait_for)

    def run_in(self, program, *scenarios, timeout=300, wait_for=None, extra_env=None):
        """The same for a host program at another place (a copy in a folder of its own);
        extra_env: environment variables for this run only."""
        log = self.next_log()
        for stale in (log, Path(str(log) + ".restarted")):
            stale.unlink(missing_ok=True)
        completed = self.prefix.run_with_output_file([str(program), windows_path(log)] + list(scenarios),
                                                     Path(str(log) + ".out"), timeout=timeout, extra_env=extra_env)
        if wait_for is not None:
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline and wait_for not in self.read(log):
                time.sleep(0.5)
        lines = self.read(log)
        exceptions, hidden = parse_log(lines)
        return HostRun(completed.returncode, lines, exceptions, hidden)

    def run_plain(self, host, *arguments, timeout=300):
        """A host without handlers (the C programs): only its exit code and output count."""
        output = self.next_log(".out")
        completed = self.prefix.run_with_output_file([str(self.folder / host)] + list(arguments), output, timeout)
        return completed.returncode, output.read_bytes().decode(errors="replace")

    @staticmethod
    def read(log):
        return log.read_text(errors="replace").splitlines() if log.exists() else []
