"""Timing one program run under Wine, for the benchmarks."""

import time


def timed_run(prefix, arguments):
    """Wall time of one run in seconds and its standard output; a failing run ends the benchmark."""
    started = time.perf_counter()
    completed = prefix.run(arguments, timeout=120)
    elapsed = time.perf_counter() - started
    if completed.returncode != 0:
        raise SystemExit(f"benchmark: {arguments[0]} ended with {completed.returncode}")
    return elapsed, completed.stdout.decode(errors="replace")
