"""Printing a report from a failing program, under wine64, on a real printer: a CUPS queue of
cups-pdf, which Wine offers as a Windows printer. The host confirms the print dialog as a user
would; the PDF that comes out is read back with pdftotext."""

import os
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from crash_host_runs import CrashHosts
from wine_prefix import BUILD, WinePrefix

QUEUE = "BrevantPDF"
PPD = Path("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")
PDF_FOLDER = Path.home() / "PDF"


class PdfPrinter:
    """A cups-pdf queue as the default printer, with a CUPS server of the test's own when none
    runs; the server is stopped again afterwards."""

    def __init__(self):
        self.server = None

    def start(self):
        if os.geteuid() != 0 or not shutil.which("cupsd") or not PPD.exists():
            return "needs root, cupsd and cups-pdf"
        if subprocess.run(["lpstat", "-r"], capture_output=True, text=True).stdout.strip() != "scheduler is running":
            self.server = subprocess.Popen(["cupsd", "-f"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
            for _ in range(100):
                if subprocess.run(["lpstat", "-r"], capture_output=True, text=True).stdout.strip() == \
                        "scheduler is running":
                    break
                time.sleep(0.1)
        added = subprocess.run(["lpadmin", "-p", QUEUE, "-E", "-v", "cups-pdf:/", "-P", str(PPD)],
                               capture_output=True, text=True)
        if added.returncode != 0:
            return "lpadmin: " + added.stderr
        subprocess.run(["lpadmin", "-d", QUEUE], capture_output=True)
        return None

    def stop(self):
        subprocess.run(["lpadmin", "-x", QUEUE], capture_output=True)
        if self.server:
            self.server.terminate()
            self.server.wait(timeout=30)


class PrintTest(unittest.TestCase):
    bits = 64

    @classmethod
    def setUpClass(cls):
        cls.printer = PdfPrinter()
        cls.problem = cls.printer.start()
        if cls.problem:
            return
        cls.prefix = WinePrefix()
        cls.prefix.ensure_created()
        cls.prefix.keep_warm()
        cls.hosts = CrashHosts(cls.prefix, cls.bits)
        cls.before = set(PDF_FOLDER.glob("*.pdf")) if PDF_FOLDER.exists() else set()
        folder = BUILD / f"print{cls.bits}"
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        shutil.copy(cls.hosts.folder / "crash_host.exe", folder / "crash_host.exe")
        cls.result = cls.hosts.run_in(folder / "crash_host.exe", "print-from-handler", "main-av")

    @classmethod
    def tearDownClass(cls):
        cls.printer.stop()

    def new_pdfs(self):
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            found = set(PDF_FOLDER.glob("*.pdf")) - self.before if PDF_FOLDER.exists() else set()
            if found and subprocess.run(["lpstat", "-o", QUEUE], capture_output=True, text=True).stdout == "":
                return sorted(found)
            time.sleep(0.5)
        return []

    def test_the_report_comes_out_of_the_printer_line_by_line(self):
        if self.problem:
            self.skipTest(self.problem)
        self.assertEqual(self.result.exit_code, 1)
        self.assertIn("printing from the handler", self.result.lines)
        self.assertTrue(any(line.startswith("confirming dialog|") for line in self.result.lines), self.result.lines)
        self.assertIn("printed", self.result.lines)
        pdfs = self.new_pdfs()
        self.assertEqual(len(pdfs), 1, "one document")
        text = subprocess.run(["pdftotext", "-layout", str(pdfs[0]), "-"], capture_output=True, text=True).stdout
        self.assertRegex(text, r"exception class +: EAccessViolation")
        self.assertRegex(text, r"executable +: crash_host\.exe")
        self.assertIn("cpu registers:", text)
        pages = subprocess.run(["pdfinfo", str(pdfs[0])], capture_output=True, text=True).stdout
        self.assertRegex(pages, r"Pages: +([2-9]|\d\d+)", "a whole report takes more than one page")


if __name__ == "__main__":
    unittest.main()
