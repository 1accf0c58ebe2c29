#!/usr/bin/env python3
"""Runs Brevant.exe under Wine on the sample project (sample/) in a demo prefix where a
stand-in browser is registered as the user's default browser, and prints what it launched."""

import shutil
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from launcher_world import LauncherWorld, c_drive_path  # noqa: E402
from wine_prefix import BUILD, WinePrefix  # noqa: E402

BROWSER = r"C:\Program Files\Demo Browser\browser.exe"


def main():
    prefix = WinePrefix("wineprefix-demo")
    print("Preparing the demo Wine prefix (the first time takes a few minutes)...")
    prefix.ensure_created()
    world = LauncherWorld(prefix, BUILD / "win64" / "Brevant.exe", BUILD / "win64" / "stand_ins")
    world.work = BUILD / "demo"
    world.work.mkdir(parents=True, exist_ok=True)

    browser = c_drive_path(prefix, BROWSER)
    browser.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(world.stand_ins / "recorder.exe", browser)
    project = c_drive_path(prefix, r"C:\BrevantSample")
    if project.exists():
        shutil.rmtree(project)
    shutil.copytree(REPO / "sample", project)
    prefix.import_registry([
        r"[HKEY_CLASSES_ROOT\ChromeHTML\shell\open\command]",
        '@="\\"' + BROWSER.replace("\\", "\\\\") + '\\" --single-argument %1"',
        r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\Shell\Associations\UrlAssociations\http\UserChoice]",
        '"ProgId"="ChromeHTML"',
    ])
    try:
        for config in ("Brevant.ini", "served.ini"):
            print()
            print(f"$ Brevant.exe /configfile:C:\\BrevantSample\\{config}")
            run = world.run([f"/configfile:C:\\BrevantSample\\{config}"])
            for record in run.records:
                shown = "shown" if record.show_mode == "1" else "hidden"
                print(f"  launched ({shown}): {record.command_line}")
            if not run.records:
                print("  launched nothing")
            print(f"  exit code {run.exit_code}")
    finally:
        prefix.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
