"""A Wine prefix of the project's own, and running Windows programs in it as a build tool would."""

import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
BUILD = REPO / "build"

WINE64 = "/usr/lib/wine/wine64"
# The loader of 32-bit programs; wine64 hands them to it. Under 32-bit emulation (qemu user
# mode) only these client processes are emulated: the wineserver stays the native one.
WINE32 = "/usr/lib/wine/wine"
WINESERVER64 = "/usr/lib/wine/wineserver64"


def can_run_32bit_programs():
    """Whether 32-bit Windows programs can run in a prefix here: 32-bit Wine is installed and
    this machine runs its 32-bit loader (natively, or through a binfmt registration for qemu)."""
    if not os.access(WINE32, os.X_OK):
        return False
    try:
        return subprocess.run([WINE32, "--version"], capture_output=True, timeout=120).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def i386_is_emulated():
    """Whether 32-bit x86 programs go through qemu user emulation here."""
    registration = Path("/proc/sys/fs/binfmt_misc/qemu-i386")
    return registration.is_file() and registration.read_text().startswith("enabled")


def windows_path(path):
    """The Windows name of a Linux path (Wine maps the root to drive Z:)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class WinePrefix:
    """One 64-bit prefix, created on first use and kept for later runs. When 32-bit Wine is
    installed it is a WoW64 prefix, in which 32-bit programs run as on 64-bit Windows."""

    def __init__(self, name="wineprefix64"):
        self.path = BUILD / name
        self.loader = WINE64
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=str(self.path),
            WINEARCH="win64",
            # Whoever starts first, 64- or 32-bit, the server is the native 64-bit one.
            WINESERVER=WINESERVER64,
            WINEDEBUG="-all",
            # No Mono or Gecko installer dialogs, no desktop menu entries.
            WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d",
        )

    @property
    def drive_c(self):
        return self.path / "drive_c"

    def ensure_created(self):
        """Creates the prefix unless it is there. A prefix made before 32-bit Wine was
        installed lacks the 32-bit system (syswow64) and is made anew once it can have it."""
        marker = self.path / ".brevant-ready"
        ready = f"ok, 32-bit programs: {'yes' if can_run_32bit_programs() else 'no'}\n"
        if marker.exists() and marker.read_text() in (ready, "ok, 32-bit programs: yes\n"):
            return
        self.boot_new_prefix()
        # Without this Wine checks the prefix against its installation at every start,
        # which under 32-bit emulation costs minutes each time.
        (self.path / ".update-timestamp").write_text("disable\n")
        # A crashing test program must never wait for a click on Wine's crash dialog,
        # nor start a debugger.
        self.import_registry([r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]", '"ShowCrashDialog"=dword:00000000',
                              r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]",
                              '"Debugger"=""', '"Auto"="0"'])
        self.stop()
        marker.write_text(ready)

    def boot_new_prefix(self, attempts=3, timeout=2400):
        """Creates the prefix with wineboot. Should the wineserver crash while the prefix is
        set up, wineboot waits forever; such an attempt is given up as soon as the crash
        shows in the log, and started anew."""
        log_path = BUILD / f"{self.path.name}-setup.log"
        for attempt in range(1, attempts + 1):
            if self.path.exists():
                shutil.rmtree(self.path)
            start = log_path.stat().st_size if log_path.exists() else 0
            with open(log_path, "ab") as log:
                boot = subprocess.Popen([self.loader, "wineboot", "-i"], env=self.env, stdout=log, stderr=log,
                                        stdin=subprocess.DEVNULL, start_new_session=True)
                problem = self.wait_for_boot(boot, log_path, start, timeout)
            if problem is None and boot.returncode == 0:
                return
            self.abandon(boot)
            print(f"wineboot attempt {attempt} for {self.path.name} failed: "
                  f"{problem or f'exit code {boot.returncode}'}", flush=True)
        raise RuntimeError(f"could not create the Wine prefix {self.path} in {attempts} attempts")

    @staticmethod
    def wait_for_boot(process, log_path, start, timeout):
        """Waits for process to end; the reason to give up on it instead, or None."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                process.wait(timeout=5)
                return None
            except subprocess.TimeoutExpired:
                pass
            with open(log_path, "rb") as log:
                log.seek(start)
                if b"wineserver crashed" in log.read():
                    return "the wineserver crashed"
            if time.monotonic() > deadline:
                return f"no end after {timeout} s"

    def abandon(self, process):
        """Ends a failed attempt and everything it started."""
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120)
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()

    def run_quietly(self, arguments, timeout):
        # Wine's background services keep pipes open; their output goes to a file.
        with open(BUILD / f"{self.path.name}-setup.log", "ab") as log:
            subprocess.run([self.loader] + arguments, env=self.env, stdout=log, stderr=log,
                           stdin=subprocess.DEVNULL, timeout=timeout, check=True)

    def import_registry(self, lines):
        """Imports .reg text (without its header) through Wine's own regedit."""
        reg_file = BUILD / f"{self.path.name}-import.reg"
        text = "Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(lines) + "\r\n"
        reg_file.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
        self.run_quietly(["regedit", "/s", windows_path(reg_file)], timeout=600)

    def run(self, arguments, timeout, extra_env=None, cwd=None):
        env = dict(self.env)
        env.update(extra_env or {})
        return subprocess.run([self.loader] + arguments, env=env, cwd=cwd, capture_output=True,
                              stdin=subprocess.DEVNULL, timeout=timeout)

    def run_with_output_file(self, arguments, output, timeout, extra_env=None):
        """Runs a program whose output goes to a file: a program with windows makes Wine start
        its desktop process, which would hold a pipe open long after the program ended."""
        env = dict(self.env)
        env.update(extra_env or {})
        with open(output, "wb") as sink:
            return subprocess.run([self.loader] + arguments, env=env, stdout=sink, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL, timeout=timeout)

    def keep_warm(self):
        """Keeps one idle Windows process running, so that Wine's background services stay
        up between the programs a test starts instead of starting anew for each."""
        if getattr(self, "_keeper", None) is None:
            self._keeper = subprocess.Popen([self.loader, "cmd.exe"], env=self.env, stdin=subprocess.PIPE,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # One short 64-bit program to its end: the server and the services are up before
            # anything else starts (a 32-bit program started meanwhile under emulation could
            # end at once, without a word).
            self.run_quietly(["cmd.exe", "/c", "exit", "0"], timeout=600)

    def stop(self):
        keeper = getattr(self, "_keeper", None)
        if keeper is not None:
            keeper.stdin.close()
            self._keeper = None
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        if keeper is not None:
            try:
                keeper.wait(timeout=60)
            except subprocess.TimeoutExpired:
                keeper.kill()


def reg_string(value):
    """A value in .reg syntax."""
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
