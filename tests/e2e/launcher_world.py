"""The world Brevant.exe meets in the end-to-end tests: stand-in browsers, a debug manager
and shell handlers installed in a Wine prefix and registered where the real ones would be,
and a way to run Brevant.exe as a build tool does and read back what it started."""

import shutil
import threading
from dataclasses import dataclass
from pathlib import Path

from wine_prefix import BUILD, WinePrefix, reg_string, windows_path

HKCR = "HKEY_CLASSES_ROOT"
URL_ASSOCIATIONS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\Shell\Associations\UrlAssociations\http"

# Where each stand-in lives (under C:\) and the command its registry key holds.
CHROME = r"C:\Program Files\Google\Chrome\Application\chrome.exe"
EDGE = r"C:\Program Files (x86)\Microsoft\Edge\Application\msedge.exe"
FIREFOX = r"C:\Program Files\Mozilla Firefox\firefox.exe"
FIREFOX_DEV = r"C:\Program Files\Firefox Developer Edition\firefox.exe"
IEXPLORE = r"C:\BrevantTest\IE\iexplore.exe"
OPERA = r"C:\BrevantTest\Opera\opera.exe"
# Wine adds quotes to an unquoted program path with blanks, so this one has none.
CUSTOM = r"C:\BrevantTest\Custom\mybrowser.exe"
DEBUG_MANAGER = r"C:\BrevantTest\Ovix\OvixDbg.exe"
SHELL_HTTP = r"C:\BrevantTest\Shell\shell-http.exe"
SHELL_HTTPS = r"C:\BrevantTest\Shell\shell-https.exe"
SHELL_EDGE = r"C:\BrevantTest\Shell\shell-edge.exe"
SHELL_HTML = r"C:\BrevantTest\Shell\shell-html.exe"
ALL_STAND_INS = [CHROME, EDGE, FIREFOX, FIREFOX_DEV, IEXPLORE, OPERA, CUSTOM, DEBUG_MANAGER,
                 SHELL_HTTP, SHELL_HTTPS, SHELL_EDGE, SHELL_HTML]

BROWSER_KEYS = {
    "chrome": (r"ChromeHTML\shell\open\command", f'"{CHROME}" --single-argument %1'),
    "edge": (r"MSEdgeHTM\shell\open\command", f'"{EDGE}" --single-argument %1'),
    "ie": (r"Applications\iexplore.exe\shell\open\command", f'"{IEXPLORE}" %1'),
    "opera": (r"Applications\opera.exe\shell\open\command", f'{OPERA} -- "%1"'),
    "firefox": (r"FirefoxHTML-1234\shell\open\command", f'"{FIREFOX}" -osint -url "%1"'),
    "firefoxdev": (r"FirefoxHTML\shell\open\command", f'"{FIREFOX_DEV}" -osint -url "%1"'),
}
MANAGED_KEYS = [r"ChromeHTML", r"MSEdgeHTM", r"Applications\iexplore.exe", r"Applications\opera.exe",
                r"FirefoxHTML", r"FirefoxHTML-1234", r"FirefoxURL-308046B0AF4A39CB"]


def c_drive_path(prefix, windows):
    """The Linux path of a C:\\ path inside the prefix."""
    assert windows.startswith("C:\\")
    return prefix.drive_c / Path(*windows[3:].split("\\"))


@dataclass
class Record:
    """One start of a stand-in, as it logged it."""
    created: int
    program: str
    show_flag: str
    show_mode: str
    directory: str
    command_line: str

    @property
    def show(self):
        return (self.show_flag, self.show_mode)


SHOWN = ("1", "1")
HIDDEN = ("1", "0")


@dataclass
class Run:
    exit_code: int
    stdout: bytes
    stderr: str
    records: list

    def command_lines(self):
        return [record.command_line for record in self.records]


class LauncherWorld:
    def __init__(self, prefix: WinePrefix, brevant_exe: Path, stand_ins: Path, work_name="e2e64"):
        self.prefix = prefix
        self.brevant_exe = brevant_exe
        self.stand_ins = stand_ins
        self.work = BUILD / work_name
        self.runs = 0
        self.runs_lock = threading.Lock()

    def install(self, **registry):
        """Puts the stand-ins in place and registers them (set_registry's arguments)."""
        self.prefix.ensure_created()
        self.prefix.keep_warm()
        for stand_in in ALL_STAND_INS:
            target = c_drive_path(self.prefix, stand_in)
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(self.stand_ins / "recorder.exe", target)
        dev_ini = c_drive_path(self.prefix, FIREFOX_DEV).parent / "application.ini"
        dev_ini.write_text("[App]\r\nVendor=Mozilla\r\nName=Firefox\r\nCodeName=Firefox Developer Edition\r\n")
        plain_ini = c_drive_path(self.prefix, FIREFOX).parent / "application.ini"
        plain_ini.write_text("[App]\r\nVendor=Mozilla\r\nName=Firefox\r\n")
        if self.work.exists():
            shutil.rmtree(self.work)
        self.work.mkdir(parents=True)
        self.set_registry(**registry)

    def set_registry(self, browsers=("chrome", "edge", "ie", "opera", "firefox", "firefoxdev"),
                     user_choice=None, user_choice_latest=None, extra=()):
        """Registers the given browsers (and only them), the user's ProgIds and the shell's handlers."""
        lines = [f"[-{HKCR}\\{key}]" for key in MANAGED_KEYS]
        lines += [f"[-{URL_ASSOCIATIONS}\\UserChoice]", f"[-{URL_ASSOCIATIONS}\\UserChoiceLatest]"]
        for name in browsers:
            key, command = BROWSER_KEYS[name]
            lines += [f"[{HKCR}\\{key}]", f"@={reg_string(command)}"]
        for key_name, prog_id in (("UserChoice", user_choice), ("UserChoiceLatest", user_choice_latest)):
            if prog_id is not None:
                lines += [f"[{URL_ASSOCIATIONS}\\{key_name}]", f'"ProgId"={reg_string(prog_id)}']
        def open_command(key, handler):
            return [f"[{HKCR}\\{key}\\shell\\open\\command]", "@=" + reg_string(f'"{handler}" "%1"')]

        for scheme, handler in (("http", SHELL_HTTP), ("https", SHELL_HTTPS), ("microsoft-edge", SHELL_EDGE)):
            lines += [f"[{HKCR}\\{scheme}]", '"URL Protocol"=""'] + open_command(scheme, handler)
        lines += [f"[{HKCR}\\.html]", '@="BrevantTest.htmlfile"'] + open_command("BrevantTest.htmlfile", SHELL_HTML)
        lines += list(extra)
        self.prefix.import_registry(lines)

    def case_directory(self, name):
        """A fresh folder under C:\\BrevantTest\\cases; returns (Linux path, Windows path)."""
        windows = f"C:\\BrevantTest\\cases\\{name}"
        path = c_drive_path(self.prefix, windows)
        if path.exists():
            shutil.rmtree(path)
        path.mkdir(parents=True)
        return path, windows

    def windows_name(self, path):
        """C:\\... for files inside the prefix's drive C, Z:\\... for the rest."""
        path = Path(path).resolve()
        if path.is_relative_to(self.prefix.drive_c):
            return "C:\\" + str(path.relative_to(self.prefix.drive_c)).replace("/", "\\")
        return windows_path(path)

    def copy_brevant(self, directory, name="Brevant.exe"):
        shutil.copyfile(self.brevant_exe, directory / name)
        return directory / name

    def run(self, arguments=(), exe=None, stdin_text=None, stdout=True, hold_file=None, cwd=None, timeout=600):
        """Runs Brevant.exe through the runner, which gives it the chosen standard handles,
        waits for everything it started, and reports its exit code."""
        with self.runs_lock:  # runs may go side by side
            self.runs += 1
            tag = f"run{self.runs}"
        log = self.work / f"{tag}.log"
        out, err, inp = (self.work / f"{tag}.{kind}" for kind in ("out", "err", "in"))
        runner_arguments = [str(self.stand_ins / "runner.exe"), "--stderr", windows_path(err)]
        # The runner gives up a little before the caller does, so that it can still report.
        runner_arguments += ["--timeout", str(max(60, timeout - 30) * 1000)]
        runner_arguments += ["--stdout", windows_path(out)] if stdout else ["--no-stdout"]
        if stdin_text is not None:
            inp.write_bytes(stdin_text)
            runner_arguments += ["--stdin", windows_path(inp)]
        if hold_file is not None:
            runner_arguments += ["--hold", hold_file]
        program = self.windows_name(exe or self.brevant_exe)
        command = " ".join([f'"{program}"'] + list(arguments))
        completed = self.prefix.run(runner_arguments + ["--", command], timeout=timeout,
                                    extra_env={"BREVANT_RECORD_LOG": windows_path(log)},
                                    cwd=cwd or self.work)
        runner_says = completed.stdout.decode(errors="replace")
        if not runner_says.startswith("exit code "):
            raise AssertionError(f"runner failed: {runner_says!r} {completed.stderr.decode(errors='replace')!r}")
        records = []
        if log.exists():
            for line in log.read_text(encoding="utf-8").splitlines():
                created, program_path, flag, mode, directory, command_line = line.split("\t", 5)
                records.append(Record(int(created), program_path, flag, mode, directory, command_line))
        records.sort(key=lambda record: record.created)
        return Run(int(runner_says.split()[2]), out.read_bytes() if out.exists() else b"",
                   err.read_text(encoding="utf-8", errors="replace") if err.exists() else "", records)

    def run_config(self, name, config_text, encoding="cp1252", bom=b"", **options):
        """Writes a configuration into a case folder and runs Brevant.exe with /configfile:."""
        directory, windows = self.case_directory(name)
        (directory / "launch.ini").write_bytes(bom + config_text.replace("\n", "\r\n").encode(encoding))
        return self.run([f'"/configfile:{windows}\\launch.ini"'], **options)
