"""The crash reporter in the i686 build, in the WoW64 prefix. Each 32-bit process start is slow
here, so the continuable failures share one host process and only a few fatal ways of failing
get a process of their own; the 64-bit run covers the rest."""

import unittest

import test_crash_reporter as every_way


class CrashReporter32Test(every_way.CrashReporterTest):
    bits = 32
    fatal_scenarios = [row for row in every_way.FATAL_SCENARIOS if row[0] in ("main-throw", "main-av", "stack-overflow")]
    separate_runs = ("restart",)


if __name__ == "__main__":
    unittest.main()
