"""The crash reporter in the i686 build, in the WoW64 prefix, where 32-bit processes may run
under qemu user emulation. Each start is slow there, so the continuable failures share one
process and only a few fatal ways get a process of their own. And the emulation does not give
Wine's 32-bit fault handler the processor's trap numbers: every hardware fault arrives as an
illegal instruction, and a fault of the main thread or an overflowed stack takes the emulated
process down before any handler runs. So this variant covers what does not rest on hardware
faults (C++ exceptions in every kind of thread, runtime errors, hidden exceptions, filters,
synchronised handlers, thread names, calibration, the loader lock); the 64-bit run covers the
faults, abnormal termination, restart and pausing. Holding threads at their message calls
works there, but the emulator itself then fails (a segmentation fault) once the held threads
are ended, which the 64-bit run does not show. Filling the whole 32-bit address space for the
exhausted heap takes many minutes under the emulation, so that case runs only where 32-bit
programs run on the processor itself."""

import unittest

import test_crash_reporter as every_way
from wine_prefix import i386_is_emulated

EMULATED = i386_is_emulated()

CPP_WORKER_SCENARIOS = [row for row in every_way.WORKER_SCENARIOS
                        if row[0] in ("worker-throw", "beginthreadex", "std-thread", "run-time-create-thread")]


class CrashReporter32Test(every_way.CrashReporterTest):
    bits = 32
    fatal_scenarios = [row for row in every_way.FATAL_SCENARIOS if row[0] in ("main-throw", "abort")]
    worker_scenarios = CPP_WORKER_SCENARIOS
    batch_scenarios = ("worker-eabort", "filtered", "throwing-handler", "hidden", "named-worker", "sync-pumping",
                       "sync-blocked", "calibration", "loader-lock")
    if not EMULATED:
        batch_scenarios += ("exhausted-heap",)
    separate_runs = ("freeze",)

    def test_an_exception_on_an_exhausted_heap_is_handled_and_the_program_goes_on(self):
        if EMULATED:
            self.skipTest("filling the 32-bit address space takes many minutes under the emulation")
        lines = self.scenario_lines(self.batch, "exhausted-heap")
        exceptions = every_way.parse_log(lines)[0]
        self.assertEqual(len(exceptions), 1, lines)
        self.assertEqual((exceptions[0]["class"], exceptions[0]["message"]),
                         ("length_error", "failed on an exhausted heap."))
        self.assertEqual(exceptions[0].actions, [every_way.CONTINUE] + every_way.SAVED)
        self.assertIn("heap given back|was exhausted=1", lines)
        self.assertIn("thread ended|exitCode=ffffffff", lines)


if __name__ == "__main__":
    unittest.main()
