"""The crash reporter in programs that carry it, under wine64: every way of failing reaches the
handling thread with the right class, message, source, thread and canContinue, each exception
is handled once and one at a time, and the program goes on, restarts (exit code 2) or closes
(exit code 1) as the handling decides. The hosts' registered handlers tell what they saw."""

import re
import unittest

from crash_host_runs import CrashHosts, parse_log
from wine_prefix import WinePrefix

EXCEPT_PROC, THREAD_FRAME, RUNTIME_ERROR, ABNORMAL_TERMINATION, HIDDEN, ANTI_FREEZE = 13, 16, 11, 2, 15, 1
CONTINUE, RESTART, CLOSE = 11, 12, 13
# The automatic save, after the decision: its action and its "done" action.
SAVED = [1, 7]
POST_PROCESSING, COMPLETE_REPORT = 3, 4
# Post-processing once, then the complete-report phase when the report completes meanwhile; or
# post-processing as the complete-report phase when the report was complete by then.
AFTER_MAIN_PHASE = ([2, POST_PROCESSING], [2, POST_PROCESSING, COMPLETE_REPORT], [2, COMPLETE_REPORT])
ACCESS_VIOLATION = r"Access violation at address \$[0-9a-f]+ in module 'crash_host\.exe'\. Write of address \$0\."

# Scenario, class, message (a pattern), source.
FATAL_SCENARIOS = [
    ("main-throw", "runtime_error", re.escape("main failed."), EXCEPT_PROC),
    ("main-keys", "runtime_error", re.escape("failed while keys arrive."), EXCEPT_PROC),
    ("main-av", "EAccessViolation", ACCESS_VIOLATION, EXCEPT_PROC),
    ("divide-by-zero", "EDivByZero", re.escape("Division by zero."), EXCEPT_PROC),
    ("illegal-instruction", "EExternalException", re.escape("External exception C000001D."), EXCEPT_PROC),
    ("breakpoint", "EExternalException", re.escape("External exception 80000003."), EXCEPT_PROC),
    ("stack-overflow", "EStackOverflow", re.escape("Stack overflow."), EXCEPT_PROC),
    ("abort", "Exception", re.escape("Runtime error: abort() was called."), RUNTIME_ERROR),
    ("assert", "Exception", r"Runtime error: assertion failed: scenario\.empty\(\) && \"the scenario must be empty\", "
                            r"file .*crash_host\.cpp, line \d+\.", RUNTIME_ERROR),
    ("invalid-parameter", "Exception",
     re.escape("Runtime error: an invalid parameter was passed to a C runtime function."), RUNTIME_ERROR),
    ("pure-virtual", "Exception", re.escape("Runtime error: a pure virtual function was called."), RUNTIME_ERROR),
    ("terminate", "BcbTermination", re.escape("Abnormal program termination."), ABNORMAL_TERMINATION),
]

# Scenario, class, message pattern: each fails in a thread, and the program goes on.
WORKER_SCENARIOS = [
    ("worker-throw", "logic_error", re.escape("worker failed.")),
    ("worker-av", "EAccessViolation", ACCESS_VIOLATION),
    ("beginthreadex", "out_of_range", re.escape("beginthreadex worker failed.")),
    ("std-thread", "invalid_argument", re.escape("std::thread worker failed.")),
    ("work-item", "EAccessViolation", ACCESS_VIOLATION),
    ("worker-stack-overflow", "EStackOverflow", re.escape("Stack overflow.")),
    ("run-time-create-thread", "runtime_error", re.escape("run-time thread failed.")),
]


class CrashReporterTest(unittest.TestCase):
    bits = 64
    fatal_scenarios = FATAL_SCENARIOS
    worker_scenarios = WORKER_SCENARIOS
    # The continuable scenarios besides the worker table, all in one process.
    batch_scenarios = ("ten-threads", "worker-eabort", "filtered", "throwing-handler", "hidden", "named-worker",
                       "sync-pumping", "sync-blocked", "calibration", "faulting-handler", "faulting-plugin",
                       "loader-lock", "pause-threads")
    # Runs whose own process start is what they test; a narrower variant may leave them out.
    separate_runs = ("main-eabort", "restart", "c-hosts", "freeze")

    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        cls.prefix.ensure_created()
        cls.prefix.keep_warm()
        cls.hosts = CrashHosts(cls.prefix, cls.bits)
        hosts = cls.hosts
        # The program that survives its continuable exceptions: one process for all of them.
        continuable = [scenario for scenario, _, _ in cls.worker_scenarios] + list(cls.batch_scenarios)
        jobs = {"batch": lambda: hosts.run(*continuable)}
        for scenario, _, _, _ in cls.fatal_scenarios:
            jobs[scenario] = lambda scenario=scenario: hosts.run(scenario)
        optional = {
            "main-eabort": lambda: hosts.run("main-eabort"),
            "restart": lambda: hosts.run("restart", wait_for="end of main"),
            "freeze": lambda: hosts.run("freeze", host="crash_host_freeze.exe"),
            "c-hosts": lambda: (hosts.run_plain("crash_host_c.exe", "fault"), hosts.run_plain("crash_host_c.exe"),
                                hosts.run_plain("crash_host_c_disabled.exe", "fault")),
        }
        jobs.update({name: job for name, job in optional.items() if name in cls.separate_runs})
        cls.results = CrashHosts.run_all(jobs)
        cls.batch = cls.results["batch"]

    def separate(self, name):
        if name not in self.separate_runs:
            self.skipTest(f"{name} runs in the 64-bit variant only")
        return self.results[name]

    @classmethod
    def tearDownClass(cls):
        cls.prefix.stop()

    def scenario_lines(self, run, scenario):
        """The lines between a scenario's start and its end."""
        if run is self.batch and scenario not in self.batch_scenarios and \
                scenario not in [row[0] for row in self.worker_scenarios]:
            self.skipTest(f"{scenario} runs in the 64-bit variant only")
        return run.lines[run.lines.index(f"scenario {scenario}"):run.lines.index(f"scenario done {scenario}")]

    def scenario_exceptions(self, run, scenario):
        """The exceptions handled between a scenario's start and its end."""
        return parse_log(self.scenario_lines(run, scenario))[0]

    def assert_handled_once(self, handled, cls, message, source, can_continue):
        self.assertEqual(handled["class"], cls)
        self.assertRegex(handled["message"], "^" + message + "$")
        self.assertEqual(int(handled["source"]), source)
        self.assertEqual(handled["canContinue"], "1" if can_continue else "0")
        self.assertIn(handled.phases, AFTER_MAIN_PHASE, "each phase once, in order")

    def test_fatal_failures_of_the_main_thread_close_with_exit_code_1(self):
        for scenario, cls, message, source in self.fatal_scenarios:
            with self.subTest(scenario=scenario):
                run = self.results[scenario]
                self.assertEqual(run.exit_code, 1)
                self.assertEqual(len(run.exceptions), 1, run.lines)
                handled = run.exceptions[0]
                self.assert_handled_once(handled, cls, message, source, can_continue=False)
                self.assertEqual(handled["mainThread"], "1")
                self.assertRegex(handled["thread"], r"^main thread \(\$[0-9a-f]+\)$")
                self.assertEqual(handled.actions, [CLOSE] + SAVED)
                self.assertFalse(run.has("end of main"), "nothing after the failure runs")
                self.assertTrue(run.has("started|activeBeforeMain=1"))

    def test_failures_in_threads_end_the_thread_and_the_program_goes_on(self):
        run = self.batch
        self.assertEqual(run.exit_code, 0, run.lines[-5:])
        self.assertTrue(run.has("end of main"))
        for scenario, cls, message in self.worker_scenarios:
            with self.subTest(scenario=scenario):
                exceptions = self.scenario_exceptions(run, scenario)
                self.assertEqual(len(exceptions), 1, exceptions)
                self.assert_handled_once(exceptions[0], cls, message, THREAD_FRAME, can_continue=True)
                self.assertEqual(exceptions[0]["mainThread"], "0")
                self.assertRegex(exceptions[0]["thread"], r"^thread \$[0-9a-f]+$")
                self.assertEqual(exceptions[0].actions, [CONTINUE] + SAVED)
        index = run.lines.index("scenario worker-throw")
        self.assertIn("thread ended|exitCode=ffffffff", run.lines[index:index + 10])
        index = run.lines.index("scenario std-thread")
        self.assertEqual(run.lines[index + 1], "creator known=1", "the registry knows who made the thread")

    def test_keys_for_the_main_threads_windows_are_offered_to_them_while_it_waits(self):
        if "main-keys" not in self.results:
            self.skipTest("main-keys runs in the 64-bit variant only")
        lines = self.results["main-keys"].lines
        key_down, char = 0x100, 0x102
        self.assertIn(f"key offered|message={key_down + 0xBC00}|key={ord('K')}", lines)
        self.assertIn(f"key offered|message={char + 0xBC00}|key={ord('c')}", lines)
        self.assertNotIn(f"key delivered|message={key_down}|key={ord('K')}", lines, "a key the window took is dropped")
        self.assertIn(f"key delivered|message={char}|key={ord('c')}", lines, "a key it declined goes on as usual")

    def test_threads_made_through_an_address_taken_at_run_time_are_caught_inside_create_thread(self):
        lines = self.scenario_lines(self.batch, "run-time-create-thread")
        self.assertEqual(lines[1], "thread hook=call inside CreateThread")
        self.assertEqual(lines[2], "creator in host=1", "the creator is the program, not the system")
        self.assertIn("thread ended|exitCode=ffffffff", lines)

    def test_paused_threads_stop_at_their_message_calls_and_go_on_afterwards(self):
        lines = self.scenario_lines(self.batch, "pause-threads")
        self.assertIn("creator in host=1", lines)
        self.assertIn("while handled|pumping moved=0|busy moved=1", lines,
                      "the thread that pumps messages stands still, the one that never does runs on")
        self.assertIn("after handling|pumping moved=1", lines)

    def test_ten_threads_failing_at_once_are_handled_one_at_a_time_each_once(self):
        exceptions = self.scenario_exceptions(self.batch, "ten-threads")
        self.assertEqual(len(exceptions), 10)
        self.assertEqual(len({handled["thread"] for handled in exceptions}), 10)
        self.assertTrue(self.batch.has("ten threads ended|overlaps=0"))

    def test_eabort_and_the_edbediterror_filter_report_nothing(self):
        for scenario in ("worker-eabort", "filtered"):
            with self.subTest(scenario=scenario):
                self.assertEqual(self.scenario_exceptions(self.batch, scenario), [])
        if "main-eabort" in self.separate_runs:
            run = self.results["main-eabort"]
            self.assertEqual((run.exit_code, run.exceptions), (1, []))

    def test_a_failing_handler_is_swallowed(self):
        exceptions = self.scenario_exceptions(self.batch, "throwing-handler")
        self.assertEqual(len(exceptions), 1)
        self.assertIn(exceptions[0].phases, AFTER_MAIN_PHASE)

    def test_a_handler_that_faults_gives_up_that_handling_and_the_next_exception_is_handled(self):
        exceptions = self.scenario_exceptions(self.batch, "faulting-handler")
        self.assertEqual([handled["class"] for handled in exceptions], ["logic_error", "EAccessViolation"])
        self.assertIn(exceptions[1].phases, AFTER_MAIN_PHASE)
        self.assertEqual(exceptions[1].actions, [CONTINUE] + SAVED)

    def test_a_report_plugin_that_faults_leaves_the_report_partial_and_the_program_goes_on(self):
        exceptions = self.scenario_exceptions(self.batch, "faulting-plugin")
        self.assertEqual([handled["class"] for handled in exceptions], ["logic_error"])
        self.assertEqual(exceptions[0].actions, [CONTINUE] + SAVED)
        self.assertIn("after the faulting plugin", self.scenario_lines(self.batch, "faulting-plugin"))

    def test_while_the_loader_lock_is_held_the_exception_is_handled_on_its_own_thread(self):
        exceptions = self.scenario_exceptions(self.batch, "loader-lock")
        self.assertEqual(len(exceptions), 1)
        self.assertEqual((exceptions[0]["class"], exceptions[0]["onCrashedThread"]), ("runtime_error", "1"))
        self.assertIn(exceptions[0].phases, AFTER_MAIN_PHASE)
        index = self.batch.lines.index("scenario loader-lock")
        self.assertIn("library loaded", self.batch.lines[index:index + 10])
        worker = self.scenario_exceptions(self.batch, "worker-throw")[0]
        self.assertEqual(worker["onCrashedThread"], "0", "otherwise the handling thread handles it")

    def test_a_caught_exception_reaches_the_hidden_handlers(self):
        self.assertEqual(len(self.batch.hidden), 1)
        hidden = self.batch.hidden[0]
        self.assertEqual((hidden["class"], hidden["message"], int(hidden["source"]), hidden["type"]),
                         ("runtime_error", "caught by the program.", HIDDEN, "2"))
        self.assertEqual(self.scenario_exceptions(self.batch, "hidden"), [])
        # Its report shows the throwing function, whose frame the handler had already left.
        stack = [line for line in self.scenario_lines(self.batch, "hidden") if line.startswith("stack|")]
        named = [name for line in stack for name in ("ThrowForTheProgramToCatch", "Run")
                 if re.search(rf"\b{name}\b", line)]
        self.assertEqual(named[:2], ["ThrowForTheProgramToCatch", "Run"], "\n".join(stack))

    def test_a_thread_named_with_set_thread_description_is_named_in_the_registry(self):
        exceptions = self.scenario_exceptions(self.batch, "named-worker")
        self.assertEqual(len(exceptions), 1)
        self.assertRegex(exceptions[0]["thread"], r"^downloader \(\$[0-9a-f]+\)$")

    def test_synchronised_handlers_run_on_a_pumping_main_thread_and_fall_back_when_it_blocks(self):
        start = self.batch.lines.index("scenario sync-pumping")
        end = self.batch.lines.index("scenario done sync-pumping")
        self.assertIn("synchronised|onMainThread=1", self.batch.lines[start:end])
        start = self.batch.lines.index("scenario sync-blocked")
        end = self.batch.lines.index("scenario done sync-blocked")
        self.assertEqual([line for line in self.batch.lines[start:end] if "onMainThread" in line],
                         ["always|onMainThread=0"], "stTrySyncCallOnSuccess handlers are skipped")

    def test_the_header_is_calibrated_to_cover_all_code(self):
        line = next(line for line in self.batch.lines if line.startswith("code sections="))
        fields = dict(part.split("=") for part in line.split("|"))
        self.assertGreaterEqual(int(fields["code sections"]), 1)
        self.assertEqual(fields["covered"], fields["code sections"])
        self.assertEqual(fields["as recorded"], "1")

    def test_a_main_thread_that_stops_handling_messages_is_reported_frozen_and_goes_on(self):
        run = self.separate("freeze")
        self.assertEqual(run.exit_code, 0, run.lines[-5:])
        freezing = run.lines.index("freezing")
        self.assertEqual(parse_log(run.lines[:freezing])[0], [], "no freeze while the main thread handles messages")
        frozen = parse_log(run.lines[freezing:])[0]
        self.assertGreaterEqual(len(frozen), 1, run.lines)
        report = frozen[0]
        self.assertEqual((report["class"], report["message"]), ("EFrozen", "The application seems to be frozen."))
        self.assertEqual((int(report["source"]), report["type"], report["canContinue"], report["mainThread"]),
                         (ANTI_FREEZE, "1", "1", "1"))
        self.assertEqual(report.actions, [CONTINUE] + SAVED)
        self.assertTrue(run.has("end of main"))

    def test_restart_ends_with_exit_code_2_and_the_new_instance_runs_after_the_old_one(self):
        run = self.separate("restart")
        self.assertEqual(run.exit_code, 2)
        self.assertEqual(len(run.exceptions), 1)
        self.assertEqual(run.exceptions[0].actions, [RESTART] + SAVED)
        self.assertEqual(run.lines.count("started|activeBeforeMain=1"), 2)
        self.assertLess(run.lines.index("action=12"), run.lines.index("restarted instance runs"))

    def test_c_programs_carry_it_without_a_call_and_their_own_settings_count(self):
        fault, no_fault, disabled = self.separate("c-hosts")
        self.assertEqual(fault[0], 1)
        self.assertEqual(no_fault, (0, "no fault\r\n"))
        self.assertNotIn(disabled[0], (0, 1, 2), "with Enabled = False the crash reporter stays out")


if __name__ == "__main__":
    unittest.main()
