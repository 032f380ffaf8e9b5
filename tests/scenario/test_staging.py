"""The real InstallerBootstrapper.exe stages its files beside the front end it starts."""
import pathlib
import subprocess
import threading
import time
import unittest

import winebench as bench

SOURCE = pathlib.Path(__file__).resolve().parents[2]
STAGED = bench.BUILD / "staged"
CULTURES = ("pt-BR", "zh", "fr", "de", "pl", "ru", "zh-Hant", "ja", "ko", "es", "es-MX", "it")
CONFIG = (b'<configuration>\n<startup>\n<supportedRuntime version = "v4.0"/>\n'
          b'<supportedRuntime version = "v2.0.50727"/>\n</startup>\n</configuration>\n')
WINDOW_TITLE = "ZAV Kelvra Web Installer"
NET_4 = r"HKLM\Software\Microsoft\NET Framework Setup\NDP\v4\Full"
FRONT_END_LOG = bench.LOG_DIR / "InstallerWebinstaller.log"


class FrontEndWindow:
    """Waits for the front end's window and closes it when the test is done looking."""

    def __enter__(self):
        self.process = bench.wine_background([bench.BIN / "front_end_window.exe", WINDOW_TITLE, 90000],
                                             stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        return self

    def wait_shown(self):
        return self.process.stdout.readline().strip() == b"shown"

    def __exit__(self, *exc):
        self.process.stdin.close()
        self.process.wait(timeout=60)
        self.process.stdout.close()


class StagingTest(unittest.TestCase):
    def check_working_folder(self, folder):
        self.assertEqual((folder / "KelvraInstaller.exe").read_bytes(), (STAGED / "KelvraInstaller.exe").read_bytes())
        self.assertEqual((folder / "icon.png").read_bytes(), (SOURCE / "resources" / "icon.png").read_bytes())
        self.assertEqual((folder / "KelvraInstaller.exe.config").read_bytes(), CONFIG)
        for culture in CULTURES:
            staged = folder / culture / "KelvraWebInstaller.resources.dll"
            self.assertEqual(staged.read_bytes(), (STAGED / culture / "KelvraWebInstaller.resources.dll").read_bytes(),
                             culture)
            self.assertEqual([p.name for p in (folder / culture).iterdir()], ["KelvraWebInstaller.resources.dll"])
        self.assertEqual((folder / "icon.ico").read_bytes(), (SOURCE / "resources" / "application.ico").read_bytes())

    def wait_for_error_page(self, front_end_log_start):
        """The front end, which reaches no configuration service here, ends its start-up
        on the error page; a close before that would be asked about first."""
        for _ in range(300):
            if FRONT_END_LOG.exists():
                with FRONT_END_LOG.open("rb") as log:
                    log.seek(front_end_log_start)
                    if b"[error] Error: Getting json remote config" in log.read():
                        return
            time.sleep(0.1)
        self.fail("the front end never showed its error page")

    def test_files_are_staged_beside_the_running_front_end(self):
        earlier = set(bench.working_folders())
        front_end_log_start = FRONT_END_LOG.stat().st_size if FRONT_END_LOG.exists() else 0
        result = {}
        with bench.registry_key_restored(NET_4), FrontEndWindow() as window:
            bench.registry_set(NET_4, "Release", 528040, kind="REG_DWORD")
            runner = threading.Thread(target=lambda: result.update(run=bench.run_bootstrapper(timeout=180)))
            runner.start()
            shown = window.wait_shown()
            staged = [f for f in bench.working_folders() if f not in earlier]
            if shown:
                self.assertEqual(len(staged), 1, staged)
                self.check_working_folder(staged[0])
                self.wait_for_error_page(front_end_log_start)
        runner.join(timeout=200)
        self.assertTrue(shown, "the front end's window did not appear")
        run = result["run"]
        self.assertIsNone(run.notice)
        self.assertFalse(staged[0].exists(), "the working folder outlived the run")

        messages = run.messages
        start = messages.index(("info", "System fulfills Kelvra requirements."))
        dumping = messages.index(("info", "Dumping translation files."))
        cleaning = next(m for _, m in messages if m.startswith("Cleaning temporary folder at ["))
        working = cleaning[len("Cleaning temporary folder at ["):-len("].")]
        self.assertEqual(bench.unix_path(working), staged[0])
        expected = [("info", f"Dumping translation file of language [{culture}], path "
                             f"[{working}\\{culture}\\KelvraWebInstaller.resources.dll]")
                    for culture in CULTURES]
        self.assertEqual(messages[dumping + 1:dumping + 13], expected)
        self.assertEqual(messages[dumping + 13], ("info", "Extracting icon resources."))
        self.assertEqual([m for m in messages[start:dumping + 14] if m[0] != "info"], [])
        self.assertNotIn(("warning", "C# Installer returned nonzero error code."), messages)


if __name__ == "__main__":
    unittest.main()
