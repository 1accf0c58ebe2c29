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
WINE32 = "/usr/bin/wine"


def windows_path(path):
    """The Windows name of a Linux path (Wine maps the root to drive Z:)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class WinePrefix:
    """One prefix (64- or 32-bit), created on first use and kept for later runs."""

    def __init__(self, bits, name=None):
        self.bits = bits
        self.path = BUILD / (name or f"wineprefix{bits}")
        self.loader = WINE64 if bits == 64 else WINE32
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=str(self.path),
            WINEDEBUG="-all",
            # No Mono or Gecko installer dialogs, no desktop menu entries.
            WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d",
        )
        if bits == 32:
            self.env["WINEARCH"] = "win32"

    @property
    def drive_c(self):
        return self.path / "drive_c"

    def ensure_created(self):
        marker = self.path / ".brevant-ready"
        if marker.exists():
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
        marker.write_text("ok\n")

    def boot_new_prefix(self, attempts=3, timeout=2400):
        """Creates the prefix with wineboot. Under 32-bit emulation the wineserver itself
        sometimes crashes while the prefix is being set up, and wineboot then waits forever;
        such an attempt is given up as soon as the crash shows in the log, and started anew."""
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

    def keep_warm(self):
        """Keeps one idle Windows process running, so that Wine's background services stay
        up between the programs a test starts instead of starting anew for each."""
        if getattr(self, "_keeper", None) is None:
            self._keeper = subprocess.Popen([self.loader, "cmd.exe"], env=self.env, stdin=subprocess.PIPE,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

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
