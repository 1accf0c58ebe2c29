#!/usr/bin/env python3
"""Start-up cost of Brevant.exe against baselines, all run under wine64 in the same session,
interleaved. Prints median wall times and ratios (target: at most 1.3).

- Brevant reading a configuration and the registry, whose browser is not installed,
  against an empty Windows program: what Brevant itself costs.
- Brevant starting a browser stand-in, against a program that does nothing but start the
  same stand-in: what Brevant costs on top of the launch itself (under Wine, creating a
  process waits until the new one is running, so the launch is a large fixed cost).
- Brevant starting the stand-in against the empty program, for the record."""

import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from launcher_world import CUSTOM, LauncherWorld  # noqa: E402
from wine_timing import timed_run  # noqa: E402
from wine_prefix import BUILD, WinePrefix, windows_path  # noqa: E402

ROUNDS = 25
TARGET = 1.3


def main():
    world = LauncherWorld(WinePrefix(), BUILD / "win64" / "Brevant.exe", BUILD / "win64" / "stand_ins")
    world.install()
    directory, windows = world.case_directory("bench")
    (directory / "launch.ini").write_text(f"[Paths]\r\nBrowser=9\r\nBrowserBin={CUSTOM}\r\nURL=localhost:8000\r\n")
    (directory / "missing.ini").write_text("[Paths]\r\nBrowser=3\r\nURL=localhost:8000\r\n")
    bench = BUILD / "win64" / "bench"
    programs = {
        "empty program": [str(bench / "empty_program.exe")],
        "launch-only program": [str(bench / "launch_only_program.exe"), CUSTOM, "http://localhost:8000/Brevant.html"],
        "Brevant, browser not installed": [str(world.brevant_exe), f"/configfile:{windows}\\missing.ini"],
        "Brevant, starting a browser": [str(world.brevant_exe), f"/configfile:{windows}\\launch.ini"],
    }
    world.set_registry(browsers=())
    times = {name: [] for name in programs}
    try:
        for arguments in programs.values():  # warm the wineserver and the file cache
            timed_run(world.prefix, arguments)
        for _ in range(ROUNDS):  # interleaved, so that drifts in machine load hit all alike
            for name, arguments in programs.items():
                times[name].append(timed_run(world.prefix, arguments)[0])
    finally:
        world.prefix.stop()
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, median in medians.items():
        print(f"{name}: median {median * 1000:.1f} ms over {ROUNDS} runs")
    for measured, baseline in (("Brevant, browser not installed", "empty program"),
                               ("Brevant, starting a browser", "launch-only program"),
                               ("Brevant, starting a browser", "empty program")):
        ratio = medians[measured] / medians[baseline]
        verdict = "within target" if ratio <= TARGET else "above target"
        print(f"ratio {measured} / {baseline}: {ratio:.2f} ({verdict} of {TARGET})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
