"""Mailing the report of a failing program, under wine64: through the system's MAPI mail client
(a recording stand-in registered where Windows finds the mail client) with the report file and
the screenshot attached, plain or zipped, and through the mailto handler (the recorder) when the
mail client fails. The attachments are checked with independent readers: Pillow and pngcheck
for the screenshot, zipfile and unzip for archives."""

import json
import shutil
import subprocess
import unittest
import zipfile
from pathlib import Path

from crash_host_runs import CrashHosts
from wine_prefix import BUILD, WinePrefix, reg_string, windows_path

CLIENT = "Brevant Recording Mail"
MAIL_KEY = r"HKEY_LOCAL_MACHINE\Software\Clients\Mail"
MAILTO_KEY = r"HKEY_CLASSES_ROOT\mailto\shell\open\command"
WINE_CLIENT = "Native Mail Client"
WINE_MAILTO = '"C:\\windows\\system32\\winebrowser.exe" "%1"'
SUBJECT = "bug report"
BODY = "please find the bug report attached"

# Debian's own Python has Pillow; the picture's facts come back as JSON.
PICTURE_FACTS = r"""
import json, sys
from PIL import Image
image = Image.open(sys.argv[1])
image.load()
rgb = image.convert("RGB")
points = [tuple(map(int, p.split(","))) for p in sys.argv[2:]]
print(json.dumps({"mode": image.mode, "size": image.size, "bits": open(sys.argv[1], "rb").read()[24],
                  "palette": len(image.getpalette() or []) // 3, "pixels": [rgb.getpixel(p) for p in points]}))
"""


def picture_facts(path, *points):
    done = subprocess.run(["/usr/bin/python3", "-c", PICTURE_FACTS, str(path)] + [f"{x},{y}" for x, y in points],
                          capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError(f"Pillow cannot read {path}: {done.stderr}")
    return json.loads(done.stdout)


def read_message(folder):
    """The recorded message: its fields, and the bytes of each attachment in order."""
    text = (folder / "message.txt").read_bytes().decode("latin-1")
    head, _, body = text.partition("body\n")
    fields = {"to": [], "attachment": []}
    for line in head.splitlines():
        name, _, value = line.partition(" ")
        if name in fields:
            fields[name].append(value)
        else:
            fields[name] = value
    fields["body"] = body
    fields["files"] = [(folder / f"attachment{i}").read_bytes() for i in range(len(fields["attachment"]))]
    return fields


class MailTest(unittest.TestCase):
    bits = 64

    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        cls.prefix.ensure_created()
        cls.prefix.keep_warm()
        cls.hosts = CrashHosts(cls.prefix, cls.bits)
        stand_ins = BUILD / f"win{cls.bits}" / "stand_ins"
        cls.work = BUILD / f"mail{cls.bits}"
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.mailto_log = cls.work / "mailto.log"
        cls.prefix.import_registry([
            f"[{MAIL_KEY}]", f"@={reg_string(CLIENT)}",
            f"[{MAIL_KEY}\\{CLIENT}]", f'"DLLPath"={reg_string(windows_path(stand_ins / "recording_mail_client.dll"))}',
            f"[{MAILTO_KEY}]", f'@={reg_string(chr(34) + windows_path(stand_ins / "recorder.exe") + chr(34) + " %1")}'])

        runs = {
            "mapi": (["mail-automatically", "main-av"], {}),
            "zipped": (["mail-automatically", "mail-zipped", "main-av"], {}),
            "app-only": (["mail-automatically", "app-screenshot", "main-av"], {}),
            "cancelled": (["mail-from-handler", "main-av"], {"BREVANT_MAIL_ANSWER": "abort"}),
            "mailto": (["mail-from-handler", "main-av"], {"BREVANT_MAIL_ANSWER": "fail"}),
            "no-client": (["mail-automatically", "main-av"], {"WINEDLLOVERRIDES": cls.prefix.env["WINEDLLOVERRIDES"]
                                                             + ";mapi32=d"}),
        }
        jobs = {}
        for name, (scenarios, env) in runs.items():
            folder = cls.work / name
            folder.mkdir(parents=True)
            shutil.copy(cls.hosts.folder / "crash_host.exe", folder / "crash_host.exe")
            env = dict(env, BREVANT_MAIL_RECORD=windows_path(folder / "mail"),
                       BREVANT_RECORD_LOG=windows_path(folder / "mailto.log"))
            jobs[name] = (lambda f=folder, s=scenarios, e=env: cls.hosts.run_in(f / "crash_host.exe", *s, extra_env=e))
        cls.results = CrashHosts.run_all(jobs)

    @classmethod
    def tearDownClass(cls):
        # Wine's own mail client and mailto handler again.
        cls.prefix.import_registry([f"[-{MAIL_KEY}\\{CLIENT}]", f"[{MAIL_KEY}]", f"@={reg_string(WINE_CLIENT)}",
                                    f"[{MAILTO_KEY}]", f"@={reg_string(WINE_MAILTO)}"])

    def folder(self, name):
        return self.work / name

    def test_the_mail_client_gets_the_recipients_texts_report_file_and_screenshot(self):
        run = self.results["mapi"]
        self.assertEqual(run.exit_code, 1)
        message = read_message(self.folder("mapi") / "mail")
        self.assertEqual(message["flags"], "0", "an automatic mail to a known address opens no window")
        self.assertEqual(len(message["to"]), 2, message["to"])
        self.assertRegex(message["to"][0], r"^1\|Brevant Support ?\|SMTP:support@brevant\.example$")
        self.assertEqual(message["to"][1], "1|dev@brevant.example|SMTP:dev@brevant.example")
        self.assertEqual(message["subject"], SUBJECT)
        self.assertEqual(message["body"], BODY)
        names = [a.split("|")[1] for a in message["attachment"]]
        self.assertEqual(names, ["bugreport.txt", "screenshot.png"])
        report_file, picture = message["files"]
        text = report_file.decode("utf-8")
        self.assertTrue(text.startswith("date/time"), text[:200])
        self.assertEqual(text.count("\r\ndate/time") + 1, 1, "the current report, once")
        self.assertIn("EAccessViolation", text)
        self.assertTrue(text.endswith("\r\n\r\n"))
        # A delivered mail takes the report file with it.
        self.assertFalse((self.folder("mapi") / "bugreport.txt").exists())

        png = self.folder("mapi") / "screenshot.png"
        png.write_bytes(picture)
        check = subprocess.run(["pngcheck", str(png)], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        facts = picture_facts(png)
        self.assertEqual(facts["mode"], "P")
        self.assertEqual(facts["palette"], 256)
        self.assertEqual(facts["size"], [1280, 1024], "the whole screen")

    def test_attachments_with_one_zip_name_travel_in_one_archive(self):
        self.assertEqual(self.results["zipped"].exit_code, 1)
        message = read_message(self.folder("zipped") / "mail")
        self.assertEqual([a.split("|")[1] for a in message["attachment"]], ["bugreport.zip"])
        archive = self.folder("zipped") / "received.zip"
        archive.write_bytes(message["files"][0])
        with zipfile.ZipFile(archive) as opened:
            self.assertIsNone(opened.testzip())
            self.assertEqual(opened.namelist(), ["bugreport.txt", "screenshot.png"])
            for info in opened.infolist():
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                self.assertTrue(info.flag_bits & 0x800, "names are marked UTF-8")
            self.assertIn(b"EAccessViolation", opened.read("bugreport.txt"))
            self.assertTrue(opened.read("screenshot.png").startswith(b"\x89PNG\r\n\x1a\n"))
        unzip = subprocess.run(["unzip", "-t", str(archive)], capture_output=True, text=True)
        self.assertEqual(unzip.returncode, 0, unzip.stdout + unzip.stderr)

    def test_an_app_only_screenshot_shows_the_programs_window(self):
        self.assertEqual(self.results["app-only"].exit_code, 1)
        message = read_message(self.folder("app-only") / "mail")
        png = self.folder("app-only") / "screenshot.png"
        png.write_bytes(message["files"][1])
        facts = picture_facts(png, (10, 10), (300, 200))
        self.assertEqual(facts["size"], [320, 240])
        self.assertEqual(facts["pixels"], [[255, 0, 0], [255, 0, 0]])

    def test_cancelling_in_the_mail_client_ends_sending_quietly_and_keeps_the_report_file(self):
        run = self.results["cancelled"]
        self.assertEqual(run.exit_code, 1)
        self.assertIn("sending from the handler", run.lines)
        # The user's own send in the background shows its progress box in the bottom right corner.
        boxes = [line for line in run.lines if line.startswith("progress box|")]
        self.assertEqual(len(boxes), 1, run.lines)
        self.assertIn("title=Sending bug report...", boxes[0])
        message = read_message(self.folder("cancelled") / "mail")
        self.assertEqual(message["flags"], "9", "the user's own send shows the compose window")
        self.assertFalse((self.folder("cancelled") / "mailto.log").exists(), "no mailto after a cancel")
        self.assertTrue((self.folder("cancelled") / "bugreport.txt").exists())

    def test_when_the_mail_client_fails_the_mailto_handler_gets_the_whole_report(self):
        self.assertEqual(self.results["mailto"].exit_code, 1)
        log = (self.folder("mailto") / "mailto.log").read_bytes().decode("utf-8")
        command = log.rstrip("\n").split("\t")[5]
        self.assertTrue(command.startswith('"'), command[:100])
        url = command.split('" ', 1)[1]
        self.assertTrue(url.startswith("mailto:dev@brevant.example?subject=bug%20report&body=date%2Ftime"), url[:200])
        self.assertLessEqual(len(command), 32766)
        self.assertIn("%0D%0A", url)
        self.assertNotRegex(url[-2:], "%", "an escape is never cut")
        self.assertTrue((self.folder("mailto") / "bugreport.txt").exists(), "after mailto the report file stays")

    def test_without_a_mail_client_an_automatic_mail_ends_quietly(self):
        run = self.results["no-client"]
        self.assertEqual(run.exit_code, 1)
        self.assertFalse((self.folder("no-client") / "mail" / "message.txt").exists())
        self.assertFalse((self.folder("no-client") / "mailto.log").exists(), "an automatic mail never uses mailto")
        self.assertTrue((self.folder("no-client") / "bugreport.txt").exists())


if __name__ == "__main__":
    unittest.main()
