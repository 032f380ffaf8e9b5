"""The remote-configuration download against a local HTTPS server, under Wine."""
import json
import os
import shutil
import subprocess
import unittest

import https_server
import winebench as bench

VERSION_DOCUMENT = json.dumps({"content": {"windows": {"version": "2.0.9", "url": "https://localhost/x"}}}).encode()
NOT_JSON = b"<html><body>maintenance</body></html>"


class RemoteConfigDownloadTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = bench.STATE / "remote-config"
        shutil.rmtree(cls.root, ignore_errors=True)
        cls.certificates = https_server.Certificates(cls.root / "certificates")
        trusted = bench.wine([bench.BIN / "trust_test_root.exe", "add", bench.windows_path(cls.certificates.ca)])
        assert trusted.returncode == 0, trusted.stderr
        responses = {"ok": (200, VERSION_DOCUMENT), "garbage": (200, NOT_JSON)}
        cls.server = https_server.ConfigServer(cls.certificates.server, responses)
        cls.stranger = https_server.ConfigServer(cls.certificates.stranger, responses)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.stranger.stop()
        bench.wine([bench.BIN / "trust_test_root.exe", "remove", bench.windows_path(cls.certificates.ca)])
        shutil.rmtree(cls.root, ignore_errors=True)

    def fetch(self, base_url, parameters):
        """Runs the step from an empty current directory (no local override).
        Returns (stdout, log messages as (level, text), working folder)."""
        case = self.root / self.id().rsplit(".", 1)[-1]
        current = case / "current"
        current.mkdir(parents=True)
        working = case / "KelvraInstaller_abcde"
        log = case / "fetch.log"
        result = subprocess.run(
            [str(bench.BENCH), "run", str(bench.STATE), str(bench.BIN / "remote_config_fetch.exe"),
             bench.windows_path(working), base_url, parameters, bench.windows_path(log)],
            cwd=current, capture_output=True, timeout=120, env=dict(os.environ, LC_ALL="en_US.UTF-8"))
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = log.read_bytes().decode("utf-8").split("\r\n")
        messages = [bench.LINE_PATTERN.match(line).groups() for line in lines if line]
        return result.stdout.decode().strip(), messages, working

    def test_download_lands_in_the_working_folder_and_gives_the_version(self):
        out, messages, working = self.fetch(self.server.base_url(), "&case=ok")
        self.assertEqual(out, "result=0 version=2.0.9")
        self.assertEqual(messages, [("info", "Looking for remote config info for Kelvra Client."),
                                    ("info", "Downloaded latest remote-config file.")])
        self.assertEqual((working / "remoteconfig.json").read_bytes(), VERSION_DOCUMENT)
        # The parameter text follows the query directly, with no separator added.
        self.assertIn("/components/webinstaller?component_version=2.0.0&case=ok", self.server.requests)

    def test_refused_connection_is_a_download_failure(self):
        url = f"https://localhost:{https_server.closed_port()}/components/webinstaller?component_version=2.0.0"
        out, messages, working = self.fetch(url, "")
        self.assertEqual(out, "result=1 version=0.0.0")
        self.assertEqual(messages, [
            ("info", "Looking for remote config info for Kelvra Client."),
            ("error", "Failed to download remote-config to file due to error INET_E_DOWNLOAD_FAILURE.")])
        self.assertTrue(working.is_dir())

    def test_untrusted_certificate_is_refused_before_any_request(self):
        out, messages, working = self.fetch(self.stranger.base_url(), "&case=ok")
        self.assertEqual(out, "result=1 version=0.0.0")
        self.assertEqual(messages, [
            ("info", "Looking for remote config info for Kelvra Client."),
            ("error", "Failed to download remote-config to file due to unknown error.")])
        self.assertEqual(self.stranger.requests, [])

    def test_body_that_is_not_json_stays_for_the_front_end(self):
        out, messages, working = self.fetch(self.server.base_url(), "&case=garbage")
        self.assertEqual(out, "result=1 version=0.0.0")
        self.assertEqual(messages[:2], [("info", "Looking for remote config info for Kelvra Client."),
                                        ("info", "Downloaded latest remote-config file.")])
        self.assertEqual(messages[2:], [(
            "error", "Failed to parse remote config data, error [[json.exception.parse_error.101] parse error at "
                     "line 1, column 1: syntax error while parsing value - invalid literal; last read: '<']. "
                     "Installation should proceed as normal.")])
        self.assertEqual((working / "remoteconfig.json").read_bytes(), NOT_JSON)


if __name__ == "__main__":
    unittest.main()
