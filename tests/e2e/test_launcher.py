"""Brevant.exe (x86_64) run under wine64 as a build tool runs it: real registry keys, real
files, recording stand-ins for every program it may start, Wine's own cmd.exe for npm."""

import shutil
import unittest

from launcher_world import (CHROME, CUSTOM, DEBUG_MANAGER, EDGE, FIREFOX, FIREFOX_DEV, HIDDEN,
                            IEXPLORE, OPERA, SHELL_EDGE, SHELL_HTML, SHELL_HTTP, SHELL_HTTPS, SHOWN,
                            URL_ASSOCIATIONS, LauncherWorld, c_drive_path)
from wine_prefix import BUILD, WinePrefix, windows_path

world = None


def setUpModule():
    global world
    world = LauncherWorld(WinePrefix(), BUILD / "win64" / "Brevant.exe", BUILD / "win64" / "stand_ins")
    world.install()


def tearDownModule():
    world.prefix.stop()


def config(*lines):
    return "[Paths]\n" + "\n".join(lines) + "\n"


class LauncherTestCase(unittest.TestCase):
    def setUp(self):
        world.set_registry()

    def assertStarted(self, run, expected):
        """expected: (program, command line, show) in start order."""
        actual = [(record.program, record.command_line, record.show) for record in run.records]
        self.assertEqual(actual, expected)


class UrlRoadTest(LauncherTestCase):
    def test_chrome_gets_the_expanded_address_after_its_quoted_executable(self):
        run = world.run_config("url_chrome", config(
            "Browser=3", "URL=localhost:8000/$(projectname)", "HtmlFile=index.html", "URLParams=?a=1&b=2"))
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, [(CHROME, f'"{CHROME}" http://localhost:8000/Brevant/index.html?a=1&b=2', SHOWN)])

    def test_developer_tools_flag_follows_the_closing_quote_of_chrome_and_edge_only(self):
        for browser, program in (("3", CHROME), ("5", EDGE)):
            with self.subTest(browser=browser):
                run = world.run_config("debug_flag", config(f"Browser={browser}", "Debug=1", "URL=https://host/app/"))
                self.assertStarted(run, [(program, f'"{program}"--auto-open-devtools-for-tabs https://host/app/Brevant.html', SHOWN)])
        for browser, command in (("4", f'"{FIREFOX}"'), ("6", f'"{IEXPLORE}"'), ("7", OPERA), ("9", CUSTOM)):
            with self.subTest(browser=browser):
                run = world.run_config("debug_noflag", config(f"Browser={browser}", "Debug=1", "URL=host",
                                                              f"BrowserBin={CUSTOM}"))
                self.assertEqual(run.command_lines(), [f"{command} http://host/Brevant.html"])

    def test_default_html_file_is_named_after_the_executable(self):
        directory, _ = world.case_directory("myapp")
        exe = world.copy_brevant(directory, "MyApp.exe")
        (directory / "Brevant.ini").write_text("[Paths]\r\nBrowser=3\r\nURL=host:8000\r\n")
        run = world.run([], exe=exe)
        self.assertEqual(run.command_lines(), [f'"{CHROME}" http://host:8000/MyApp.html'])

    def test_address_with_a_blank_reaches_the_browser_as_one_argument(self):
        run = world.run_config("blank_url", config("Browser=9", f"BrowserBin={CUSTOM}", "URL=host/my app"))
        self.assertEqual(run.command_lines(), [f'{CUSTOM} "http://host/my app/Brevant.html"'])


class DefaultBrowserTest(LauncherTestCase):
    def test_user_choice_prog_id_selects_the_browser(self):
        cases = [
            ({"user_choice": "ChromeHTML"}, CHROME),
            ({"user_choice": "MSEdgeHTM"}, EDGE),
            ({"user_choice": "ChromeHTML", "user_choice_latest": "MSEdgeHTM"}, EDGE),  # the newer record wins
            ({"user_choice": "MSEdgeHTM", "user_choice_latest": ""}, EDGE),  # empty newer record: fall back
            ({"user_choice": "FirefoxURL-308046B0AF4A39CB"}, FIREFOX),
        ]
        for registry, program in cases:
            with self.subTest(**registry):
                world.set_registry(**registry, extra=[
                    r"[HKEY_CLASSES_ROOT\FirefoxURL-308046B0AF4A39CB\shell\open\command]",
                    f'@="\\"{FIREFOX.replace(chr(92), chr(92) * 2)}\\" -osint -url \\"%1\\""'])
                run = world.run_config("default", config("URL=host"))
                self.assertEqual([record.program for record in run.records], [program])

    def test_firefox_prog_id_whose_folder_holds_a_developer_application_ini_gives_the_developer_edition(self):
        world.set_registry(user_choice="FirefoxURL-308046B0AF4A39CB", extra=[
            r"[HKEY_CLASSES_ROOT\FirefoxURL-308046B0AF4A39CB\shell\open\command]",
            f'@="\\"{FIREFOX_DEV.replace(chr(92), chr(92) * 2)}\\" -osint -url \\"%1\\""'])
        run = world.run_config("default_dev", config("URL=host", "SingleInstance=1", f"DebugManager={DEBUG_MANAGER}"))
        self.assertEqual(run.command_lines(), [f'{DEBUG_MANAGER} /url:"http://host/Brevant.html" /browser:8'])

    def test_no_user_choice_opens_the_address_through_the_shell(self):
        world.set_registry(user_choice=None)
        run = world.run_config("default_shell", config("URL=host"))
        self.assertEqual([record.program for record in run.records], [SHELL_HTTP])
        self.assertIn("http://host/Brevant.html", run.records[0].command_line)


class FirefoxTest(LauncherTestCase):
    def test_each_edition_is_found_among_the_firefoxhtml_keys(self):
        for browser, program in (("4", FIREFOX), ("8", FIREFOX_DEV)):
            with self.subTest(browser=browser):
                run = world.run_config("firefox", config(f"Browser={browser}", "URL=host"))
                self.assertStarted(run, [(program, f'"{program}" http://host/Brevant.html', SHOWN)])


class AllBrowsersTest(LauncherTestCase):
    def test_every_browser_starts_in_order_with_the_edge_protocol_when_edge_is_missing(self):
        world.set_registry(browsers=("chrome", "ie", "opera", "firefox", "firefoxdev"))
        run = world.run_config("all", config("Browser=2", "URL=host", f"BrowserBin={CUSTOM}"))
        self.assertEqual(run.exit_code, 0)
        programs = [record.program for record in run.records]
        self.assertEqual(programs, [CHROME, FIREFOX, SHELL_EDGE, IEXPLORE, OPERA, FIREFOX_DEV, CUSTOM])
        self.assertIn("microsoft-edge:http://host/Brevant.html", run.records[2].command_line)
        self.assertEqual(run.records[4].command_line, f"{OPERA} http://host/Brevant.html")
        self.assertTrue(all(record.show == SHOWN for record in run.records))

    def test_debug_manager_receives_every_kind_hidden(self):
        run = world.run_config("all_dbg", config("Browser=2", "URL=host", "SingleInstance=1", "Debug=1",
                                                 f"DebugManager={DEBUG_MANAGER}"))
        self.assertStarted(run, [(DEBUG_MANAGER, f'{DEBUG_MANAGER} /url:"http://host/Brevant.html" /browser:{kind} /debug',
                                  HIDDEN) for kind in range(3, 10)])

    def test_missing_debug_manager_ends_the_run_before_any_start(self):
        run = world.run_config("dbg_missing", config("Browser=2", "URL=host", "SingleInstance=1",
                                                     r"DebugManager=C:\nowhere\dbg.exe"))
        self.assertEqual(run.exit_code, 1)
        self.assertEqual(run.records, [])
        self.assertEqual(run.stderr, "")  # the crash reporter took the error


class DebugManagerTest(LauncherTestCase):
    def test_debug_manager_decisions(self):
        world.set_registry(user_choice="ChromeHTML")
        cases = [
            (["Browser=1", "SingleInstance=1", f"DebugManager={DEBUG_MANAGER}"],
             [(DEBUG_MANAGER, f'{DEBUG_MANAGER} /url:"http://host/Brevant.html" /browser:3', HIDDEN)]),
            (["Browser=3", "SingleInstance=1", "DebugManager="],
             [(CHROME, f'"{CHROME}" http://host/Brevant.html', SHOWN)]),
            (["Browser=3", "SingleInstance=0", r"DebugManager=C:\nowhere\dbg.exe"],
             [(CHROME, f'"{CHROME}" http://host/Brevant.html', SHOWN)]),
        ]
        for lines, expected in cases:
            with self.subTest(lines=lines):
                run = world.run_config("dbg", config("URL=host", *lines))
                self.assertEqual(run.exit_code, 0)
                self.assertStarted(run, expected)


class ShellTest(LauncherTestCase):
    def test_shell_kinds_open_the_address_with_its_registered_handler(self):
        for browser, url, program in (("0", "host", SHELL_HTTP), ("200", "https://host", SHELL_HTTPS),
                                      ("-5", "http://host", SHELL_HTTP)):
            with self.subTest(browser=browser):
                run = world.run_config("shell", config(f"Browser={browser}", f"URL={url}"))
                self.assertEqual([record.program for record in run.records], [program])
                self.assertIn(url.split("//")[-1] + "/Brevant.html", run.records[0].command_line)

    def test_browser_that_is_not_installed_starts_nothing_and_is_no_error(self):
        world.set_registry(browsers=())
        for browser in ("3", "6", "7"):
            with self.subTest(browser=browser):
                run = world.run_config("missing", config(f"Browser={browser}", "URL=host"))
                self.assertEqual((run.exit_code, run.records), (0, []))


class FileRoadTest(LauncherTestCase):
    def test_html_file_in_html_path_is_opened(self):
        directory, windows = world.case_directory("site")
        (directory / "index.html").write_text("<html></html>")
        run = world.run_config("file_chrome", config("Browser=3", f"HtmlPath={windows}\\", "HtmlFile=index.html",
                                                     "URLParams=?x=1"))
        self.assertEqual(run.command_lines(), [f'"{CHROME}" {windows}\\index.html?x=1'])

    def test_file_under_a_folder_with_a_blank_is_quoted_for_the_browser_but_not_the_shell(self):
        directory, windows = world.case_directory("My Projects")
        (directory / "Brevant.html").write_text("<html></html>")
        run = world.run_config("file_blank", config("Browser=3", f"HtmlPath={windows}"))
        self.assertEqual(run.command_lines(), [f'"{CHROME}" "{windows}\\Brevant.html"'])
        run = world.run_config("file_blank_shell", config("Browser=0", f"HtmlPath={windows}"))
        self.assertEqual([record.program for record in run.records], [SHELL_HTML])
        self.assertIn(f"{windows}\\Brevant.html", run.records[0].command_line)

    def test_page_beside_the_executable_is_the_fall_back(self):
        directory, windows = world.case_directory("beside")
        exe = world.copy_brevant(directory, "MyApp.exe")
        (directory / "MyApp.html").write_text("<html></html>")
        (directory / "Brevant.ini").write_text("[Paths]\r\nBrowser=3\r\nHtmlPath=C:\\nowhere\r\n")
        run = world.run([], exe=exe)
        self.assertEqual(run.command_lines(), [f'"{CHROME}" {windows}\\MyApp.html'])

    def test_no_start_page_gives_exit_code_1_and_starts_nothing(self):
        run = world.run_config("no_page", config("Browser=3", r"HtmlPath=C:\nowhere"))
        self.assertEqual((run.exit_code, run.records, run.stderr), (1, [], ""))

    def test_quoted_html_path_is_an_invalid_path(self):
        run = world.run_config("quoted_path", config("Browser=3", 'HtmlPath="C:\\My Projects"'))
        self.assertEqual((run.exit_code, run.records), (1, []))
        self.assertEqual(run.stderr, "")  # the crash reporter took the error


class ElectronTest(LauncherTestCase):
    def project(self, name):
        directory, windows = world.case_directory(name)
        (directory / "npm.bat").write_text(f'@"{SHELL_HTTP.replace("shell-http", "npm-recorder")}" %*\r\n')
        recorder = c_drive_path(world.prefix, SHELL_HTTP.replace("shell-http", "npm-recorder"))
        shutil.copyfile(world.stand_ins / "recorder.exe", recorder)
        return windows

    def test_npm_runs_in_the_project_folder_on_another_drive(self):
        windows = self.project("electron app")
        for build, arguments in (("0", "start"), ("257", "start"), ("2", "run-script run-win32"),
                                 ("3", "run-script run-win64")):
            with self.subTest(build=build):
                # The current directory is on drive Z:, the project on C:.
                run = world.run_config("electron", config("Electron=1", f"ElectronBuild={build}",
                                                          f"HtmlPath={windows}", "Browser=3", "URL=host"))
                self.assertEqual(run.exit_code, 0)
                self.assertEqual(len(run.records), 1)
                self.assertTrue(run.records[0].command_line.endswith(f" {arguments}"), run.records[0].command_line)
                self.assertEqual(run.records[0].directory, windows)

    def test_builds_without_a_command_start_nothing(self):
        windows = self.project("electron none")
        for build in ("4", "-1"):
            with self.subTest(build=build):
                run = world.run_config("electron_none", config("Electron=1", f"ElectronBuild={build}",
                                                               f"HtmlPath={windows}"))
                self.assertEqual((run.exit_code, run.records), (0, []))

    def test_command_interpreter_gets_the_exact_line_hidden(self):
        directory, _ = world.case_directory("cmd_stand_in")
        exe = world.copy_brevant(directory)
        shutil.copyfile(world.stand_ins / "recorder.exe", directory / "cmd.exe")  # found before the real one
        (directory / "Brevant.ini").write_text("[Paths]\r\nElectron=1\r\nElectronBuild=3\r\nHtmlPath=D:\\my app\r\n")
        run = world.run([], exe=exe)
        self.assertEqual([(record.command_line, record.show) for record in run.records],
                         [('cmd.exe /c cd /d "D:\\my app" & npm run-script run-win64', HIDDEN)])


class CommandLineTest(LauncherTestCase):
    HELP = b"Switches: \r\nConfiguration file, example /configfile:C:\\Temp\\Brevant.ini\r\nhelp, example /help\r\n\r\n"

    def test_help_wins_over_every_other_argument(self):
        for arguments in (["/help"], ["-HELP"], ["/configfile:x.ini", "/Help"]):
            with self.subTest(arguments=arguments):
                run = world.run(arguments, stdin_text=b"\r\n")
                self.assertEqual((run.exit_code, run.stdout, run.records), (0, self.HELP, []))

    def test_help_without_standard_output_is_an_io_error(self):
        run = world.run(["/help"], stdout=False)
        self.assertEqual(run.exit_code, 1)
        self.assertEqual(run.stderr, "")  # the crash reporter took the error

    def test_configuration_file_choice(self):
        directory, windows = world.case_directory("choice")
        exe = world.copy_brevant(directory, "MyApp.exe")
        (directory / "settings.ini").write_text("[Paths]\r\nBrowser=3\r\nURL=from-settings\r\n")
        (directory / "Brevant.ini").write_text("[Paths]\r\nBrowser=3\r\nURL=from-default\r\n")
        cases = [
            (["settings.ini"], "from-settings"),  # found beside the executable
            (["missing.ini"], "from-default"),
            ([], "from-default"),
            (["/configfile", "-x"], None),  # empty configuration: file road, no page
            ([f"/CONFIGFILE:{windows}\\settings.ini"], "from-settings"),
            (["/configfile", f"{windows}\\settings.ini"], "from-settings"),
        ]
        for arguments, host in cases:
            with self.subTest(arguments=arguments):
                run = world.run(arguments, exe=exe)
                if host is None:
                    self.assertEqual((run.exit_code, run.records), (1, []))
                else:
                    self.assertEqual(run.command_lines(), [f'"{CHROME}" http://{host}/MyApp.html'])

    def test_first_argument_with_an_invalid_path_character_fails(self):
        run = world.run(['"a|b.ini"'])
        self.assertEqual(run.exit_code, 1)
        self.assertEqual(run.stderr, "")  # the crash reporter took the error


class ConfigurationFileTest(LauncherTestCase):
    def test_utf16_file_reads_like_ansi(self):
        text = config("Browser=3", "URL=host/\u00e9t\u00e9")
        for encoding, bom in (("utf-16-le", b"\xff\xfe"), ("utf-16-be", b"\xfe\xff"), ("utf-8", b"\xef\xbb\xbf"),
                              ("cp1252", b"")):
            with self.subTest(encoding=encoding):
                run = world.run_config("encoding", text, encoding=encoding, bom=bom)
                self.assertEqual(run.command_lines(), [f'"{CHROME}" http://host/\u00e9t\u00e9/Brevant.html'])

    def test_locked_configuration_is_an_error_naming_the_file(self):
        directory, windows = world.case_directory("locked")
        (directory / "launch.ini").write_text(config("Browser=3", "URL=host"))
        run = world.run([f"/configfile:{windows}\\launch.ini"], hold_file=f"{windows}\\launch.ini")
        self.assertEqual((run.exit_code, run.records), (1, []))
        self.assertEqual(run.stderr, "")  # the crash reporter took the error

    def test_registry_value_of_the_wrong_type_ends_the_run(self):
        world.set_registry(browsers=(), extra=[r"[HKEY_CLASSES_ROOT\ChromeHTML\shell\open\command]", "@=dword:00000001"])
        run = world.run_config("wrong_type", config("Browser=3", "URL=host"))
        self.assertEqual((run.exit_code, run.records), (1, []))
        self.assertEqual(run.stderr, "")  # the crash reporter took the error


if __name__ == "__main__":
    unittest.main()
