"""A Wine prefix of the project's own, and running Windows programs in it as a build tool would."""

import os
import shutil
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
            WINEDLLOVERRIDES="mscoree,mshtml=",
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
        if self.path.exists():
            shutil.rmtree(self.path)
        self.run_quietly(["wineboot", "-i"], timeout=900)
        # A crashing test program must never wait for a click on Wine's crash dialog.
        self.run_quietly(["reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                          "/t", "REG_DWORD", "/d", "0", "/f"], timeout=600)
        self.wait_idle()
        marker.write_text("ok\n")

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

    def wait_idle(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=600)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)


def reg_string(value):
    """A value in .reg syntax."""
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()
