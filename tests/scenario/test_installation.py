"""Whole installations: the bootstrapper (a test build whose embedded front end is the
real one, with its services' hosts taken from the environment) against the local
services of tools/local_services.py, the client setup played by
tests/tools/client_setup_standin.exe. Each run is judged by its exit code, the
events and reports the services received, both logs, and what it left behind."""
import json
import shutil
import subprocess
import unittest

import authenticode
import frontend_bench as fe
import https_server
import local_services
import winebench as bench
from whole_runs import CLIENT_KEYS, prepare_prefix_for_runs

BOOTSTRAPPER = bench.BIN / "InstallerBootstrapperWithTestHosts.exe"
SETUP = bench.BIN / "client_setup_standin.exe"
WORK = bench.DRIVE_C / "installation-tests"
SCREENSHOTS = bench.BUILD / "screenshots" / "installation"
CLIENT_NUMBER = "4711"


class InstallationTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        prepare_prefix_for_runs(cls)
        cls.services = local_services.LocalServices(WORK / "services", SETUP.read_bytes(), slow_seconds=20)
        cls.addClassCleanup(cls.services.stop)
        cls.enterClassContext(bench.trusted_root(cls.services.ca))
        cls.enterClassContext(bench.trusted_root(bench.SIGNING_ROOT))

    def setUp(self):
        self.services.record.write_text("")
        self.services.digest = "good"
        self.folder = WORK / self._testMethodName
        shutil.rmtree(self.folder, ignore_errors=True)
        self.cwd = self.folder / "cwd"
        self.cwd.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, self.folder, True)
        for key in CLIENT_KEYS:
            bench.registry_delete_key(key)
        self.client = self.folder / "client"

    def run_installation(self, mode="ok", local_config=True, setup_exit=0, on_window=None,
                         config_host=None):
        """Runs the bootstrapper to its end; on_window(run) may act on the front end meanwhile."""
        if local_config:
            (self.cwd / "remoteconfig.json").write_text(json.dumps(self.services.config(mode)))
        env = {"KELVRA_TEST_REPORT_HOST": f"127.0.0.1:{self.services.http_port}",
               "KELVRA_TEST_TELEMETRY_HOST": f"localhost:{self.services.https_port}",
               "KELVRA_TEST_CLIENT_NUMBER": CLIENT_NUMBER,
               "KELVRA_TEST_CONFIG_HOST": config_host or f"localhost:{self.services.https_port}",
               "KELVRA_SETUP_INSTALL": "1", "KELVRA_SETUP_EXIT": str(setup_exit),
               "KELVRA_SETUP_CLIENT_DIR": bench.z_path(self.client),
               "KELVRA_SETUP_RECORD": bench.z_path(self.folder / "setup.jsonl")}
        bootstrapper_start = bench.log_size()
        front_end_start = bench.log_size(fe.LOG)
        process = bench.wine_background([BOOTSTRAPPER], env=env, cwd=self.cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if on_window:
                on_window()
            code = process.wait(timeout=240)
        finally:
            if process.poll() is None:
                bench.wine(["taskkill", "/f", "/im", BOOTSTRAPPER.name])
                bench.wine(["taskkill", "/f", "/im", "KelvraInstaller.exe"])
                process.wait(timeout=60)
        self.bootstrapper_lines = bench.log_lines(bootstrapper_start)
        self.front_end_messages = bench.messages(bench.log_lines(front_end_start, fe.LOG), bench.FRONT_END_LINE)
        self.assertEqual(bench.working_folders(), [])
        self.assertEqual(list(bench.temp_folder().glob("*Setup*.exe")), [])
        return code

    def press_exit_on_error_page(self, name, text_key=None):
        def act():
            code, out = fe.driver("wait-page", "tabError", 120000)
            self.assertEqual(code, 0, out)
            if text_key:
                self.assertEqual(json.loads(out)["controls"]["labelError"]["text"], fe.strings("en")[text_key])
            self.screenshot(name)
            code, out = fe.driver("press", "buttonErrorExit")
            self.assertEqual(code, 0, out)
        return act

    def screenshot(self, name):
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        bmp = SCREENSHOTS / f"{name}.bmp"
        code, out = fe.driver("screenshot", bench.z_path(bmp))
        if code == 0:
            fe.bmp_to_png(bmp, SCREENSHOTS / f"{name}.png")
            bmp.unlink()

    def event_names(self):
        events = self.services.received("event")
        for event in events:
            self.assertIsNotNone(event["json"], event["body"])
            self.assertTrue(event["utf8"])
        return [event["json"]["type"] for event in events]

    def the_report(self, message_start):
        reports = self.services.received("report")
        self.assertEqual(len(reports), 1, reports)
        problem = json.loads(reports[0]["problem_message"])
        self.assertTrue(problem["Arguments"]["error"].startswith(message_start), problem)
        snippet = reports[0]["log_snippet"]
        self.assertIn("InstallerWebinstaller.log content:", snippet)
        self.assertIn("InstallerBootstrapper.log content:", snippet)
        # Both logs' own lines travel, not only their names.
        self.assertIn("[fileLogger]", snippet)
        self.assertIn("Setting up gui elements.", snippet)
        return problem

    def test_success_installs_the_client(self):
        code = self.run_installation()
        self.assertEqual(code, 0, self.bootstrapper_lines)
        self.assertEqual(self.event_names(), ["kelvra_download_started", "kelvra_download_completed"])
        self.assertEqual(self.services.received("report"), [])
        self.assertTrue((self.client / "KelvraClient.exe").exists())
        self.assertIn(("information", "Client setup finished with return code: 0"), self.front_end_messages)
        # The front end read its own signer and found it on the setup.
        self.assertIn(("information", f"The client setup is signed by '{authenticode.subject()}', the maker."),
                      self.front_end_messages)

    def test_a_digest_mismatch_of_either_kind_ends_on_the_error_page(self):
        for digest in ("bad", "bad-sha256"):
            with self.subTest(digest=digest):
                self.services.record.write_text("")
                self.services.digest = digest
                code = self.run_installation(on_window=self.press_exit_on_error_page(f"digest-mismatch-{digest}"))
                self.assertEqual(code, 1)
                self.the_report("Downloaded ZAV Kelvra installer MD5 do not match remote-config data")
                self.assertEqual(self.event_names(), ["kelvra_download_started"])
                self.assertFalse((self.folder / "setup.jsonl").exists())
                self.assertIn(("error", "Error: Downloaded file MD5 do not match remote-config data."),
                              self.front_end_messages)

    def test_a_setup_not_signed_by_the_maker_never_runs(self):
        """The planted local configuration names the setup and its digests: only the
        signature tells the maker's setup from another."""
        signed = SETUP.read_bytes()
        unsigned = self.folder / "unsigned.exe"
        authenticode.remove_signature(SETUP, unsigned)
        other_certificate, other_key = authenticode.make_certificate(self.folder / "other",
                                                                     "/CN=Kelvra test other publisher/O=Someone else")
        other = self.folder / "other.exe"
        authenticode.sign(unsigned, other, other_certificate, other_key)
        changed = bytearray(signed)
        changed[len(changed) // 2] ^= 0x01  # in the signed code, not the signature at the end
        maker = authenticode.subject()
        cases = [  # name, setup, the reason logged and reported
            ("unsigned", unsigned.read_bytes(), "The client setup is not signed (error 0x800B0100)."),
            ("other-publisher", other.read_bytes(),
             f"The client setup is signed by '{authenticode.subject(other_certificate)}', not by the maker "
             f"('{maker}')."),
            ("changed", bytes(changed),
             "The client setup's signature does not match its contents (error 0x80096010)."),
        ]
        self.addCleanup(setattr, self.services, "setup_bytes", signed)
        # The other publisher's root is trusted too: its signature holds, its name does not.
        with bench.trusted_root(other_certificate):
            for name, content, reason in cases:
                with self.subTest(name=name):
                    self.services.record.write_text("")
                    self.services.setup_bytes = content
                    code = self.run_installation(
                        on_window=self.press_exit_on_error_page(f"setup-signer-{name}", "errorDownloadFail"))
                    self.assertEqual(code, 1)
                    self.the_report(reason)
                    self.assertEqual(self.event_names(), ["kelvra_download_started"])
                    self.assertFalse((self.folder / "setup.jsonl").exists())
                    self.assertIn(("error", "Error: " + reason), self.front_end_messages)
                    self.assertNotIn("launching:", " ".join(m for _, m in self.front_end_messages))

    def test_an_unreachable_configuration_ends_on_the_error_page(self):
        closed = f"localhost:{https_server.closed_port()}"
        code = self.run_installation(local_config=False, config_host=closed,
                                     on_window=self.press_exit_on_error_page("unreachable-configuration"))
        self.assertEqual(code, 1)
        self.the_report("Failed getting json remote config: ")
        self.assertEqual(self.event_names(), [])

    def test_a_missing_setup_ends_on_the_error_page(self):
        code = self.run_installation(mode="missing", on_window=self.press_exit_on_error_page("missing-setup"))
        self.assertEqual(code, 1)
        self.the_report("Failed downloading ZAV Kelvra Installer: ")

    def test_the_user_aborting_the_download_cancels_it(self):
        def close_and_confirm():
            code, out = fe.driver("wait-page", "tabDownload", 60000)
            self.assertEqual(code, 0, out)
            self.screenshot("download")
            record = self.folder / "question.json"
            watcher = bench.wine_background([bench.BIN / "notice_watcher.exe", bench.z_path(record), 30000, 6],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                fe.driver("close")
            finally:
                self.assertEqual(watcher.wait(timeout=60), 0)

        code = self.run_installation(mode="slow", on_window=close_and_confirm)
        self.assertEqual(code, 1)
        self.assertEqual(self.event_names(), ["kelvra_download_started", "kelvra_download_cancelled"])
        self.assertEqual(self.services.received("report"), [])
        self.assertIn(("warning", "Canceled window close event: UserClosing:[choice=True]"), self.front_end_messages)
        self.assertFalse((self.folder / "setup.jsonl").exists())

    def test_a_setup_that_fails_is_reported(self):
        cases = [  # setup's exit code, report message
            (3, "Client setup finished with return code: 3"),
            (2, "Admin elevation denied. Setup will not continue."),
        ]
        for setup_exit, message in cases:
            with self.subTest(setup_exit=setup_exit):
                self.services.record.write_text("")
                code = self.run_installation(setup_exit=setup_exit)
                self.assertEqual(code, 1)
                self.the_report(message)
                self.assertEqual(self.event_names(), ["kelvra_download_started", "kelvra_download_completed"])
                if setup_exit == 3:
                    self.assertIn(("error", message), self.front_end_messages)

if __name__ == "__main__":
    unittest.main()
