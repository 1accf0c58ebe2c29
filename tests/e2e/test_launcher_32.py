"""The 32-bit batch: build/win32/Brevant.exe in the 64-bit (WoW64) prefix, as most users run a
32-bit program, through a handful of the end-to-end scenarios against one registry set-up.
Here the 32-bit processes may run under qemu user emulation, where each start is slow: the
stand-ins around Brevant.exe are the 64-bit ones (only Brevant.exe itself, and the command
interpreter it starts, is 32-bit), and all runs are made up front, two side by side."""

import shutil
import unittest

from crash_host_runs import CrashHosts
from launcher_world import CHROME, DEBUG_MANAGER, EDGE, HIDDEN, SHOWN, LauncherWorld, c_drive_path
from wine_prefix import BUILD, WinePrefix

world = None
runs = {}
TIMEOUT = 900


def config(*lines):
    return "[Paths]\n" + "\n".join(lines) + "\n"


def setUpModule():
    global world
    world = LauncherWorld(WinePrefix(), BUILD / "win32" / "Brevant.exe", BUILD / "win64" / "stand_ins", "e2e32")
    world.install(user_choice="ChromeHTML")
    directory, electron_folder = world.case_directory("electron32 app")
    recorder = c_drive_path(world.prefix, r"C:\BrevantTest\Shell\npm-recorder.exe")
    shutil.copyfile(world.stand_ins / "recorder.exe", recorder)
    (directory / "npm.bat").write_text('@"C:\\BrevantTest\\Shell\\npm-recorder.exe" %*\r\n')
    jobs = {
        "default": lambda: world.run_config("default32", config("URL=host:8000/$(ProjectName)", "URLParams=?a=1"),
                                            timeout=TIMEOUT),
        "edge": lambda: world.run_config("edge32", config("Browser=5", "Debug=1", "URL=host/my page"),
                                         timeout=TIMEOUT),
        "debug manager": lambda: world.run_config(
            "dbg32", config("URL=host", "SingleInstance=1", f"DebugManager={DEBUG_MANAGER}"), timeout=TIMEOUT),
        "missing debug manager": lambda: world.run_config(
            "dbg32_missing", config("Browser=2", "URL=host", "SingleInstance=1", r"DebugManager=C:\nowhere\dbg.exe"),
            timeout=TIMEOUT),
        "electron": lambda: world.run_config(
            "electron32", config("Electron=1", "ElectronBuild=2", f"HtmlPath={electron_folder}"), timeout=TIMEOUT),
        "help": lambda: world.run(["/help"], stdin_text=b"\n", timeout=TIMEOUT),
        "help without output": lambda: world.run(["/help"], stdout=False, timeout=TIMEOUT),
    }
    runs.update(CrashHosts.run_all(jobs))
    runs["electron folder"] = electron_folder


def tearDownModule():
    world.prefix.stop()


class Launcher32Test(unittest.TestCase):
    def test_default_browser_gets_the_expanded_address(self):
        run = runs["default"]
        self.assertEqual(run.exit_code, 0)
        self.assertEqual([(record.command_line, record.show) for record in run.records],
                         [(f'"{CHROME}" http://host:8000/Brevant/Brevant.html?a=1', SHOWN)])

    def test_edge_with_developer_tools_and_a_blank_in_the_address(self):
        self.assertEqual(runs["edge"].command_lines(),
                         [f'"{EDGE}"--auto-open-devtools-for-tabs "http://host/my page/Brevant.html"'])

    def test_debug_manager_gets_the_detected_kind_hidden(self):
        self.assertEqual([(record.command_line, record.show) for record in runs["debug manager"].records],
                         [(f'{DEBUG_MANAGER} /url:"http://host/Brevant.html" /browser:3', HIDDEN)])

    def test_missing_debug_manager_is_exit_code_1(self):
        run = runs["missing debug manager"]
        self.assertEqual((run.exit_code, run.records), (1, []))
        self.assertEqual(run.stderr, "")  # the crash reporter took the error

    def test_npm_runs_in_the_project_folder_through_the_real_command_interpreter(self):
        run = runs["electron"]
        self.assertEqual(run.exit_code, 0)
        self.assertEqual([(record.directory, record.command_line.split(" ", 1)[1]) for record in run.records],
                         [(runs["electron folder"], "run-script run-win32")])

    def test_help_text(self):
        run = runs["help"]
        self.assertEqual((run.exit_code, run.records), (0, []))
        self.assertEqual(run.stdout, b"Switches: \r\nConfiguration file, example /configfile:C:\\Temp\\Brevant.ini\r\n"
                                     b"help, example /help\r\n\r\n")
        run = runs["help without output"]
        self.assertEqual(run.exit_code, 1)
        self.assertEqual(run.stderr, "")  # the crash reporter took the error


if __name__ == "__main__":
    unittest.main()
