"""The remote-configuration download against a local HTTPS server, under Wine."""
import json
import shutil
import time
import unittest

import https_server
import proxy_server
import winebench as bench

VERSION_DOCUMENT = json.dumps({"content": {"windows": {"version": "2.0.9", "url": "https://localhost/x"}}}).encode()
NOT_JSON = b"<html><body>maintenance</body></html>"
# The test build's bound on the download, in place of the product's 30 seconds.
BOUND_SECONDS = bench.CONFIG_BOUND_SECONDS
SHORT_BOUND = bench.SHORT_CONFIG_BOUND
GAVE_UP = [("info", "Looking for remote config info for Kelvra Client."),
           ("error", f"Stopped the remote-config download after [{BOUND_SECONDS}] seconds."),
           ("error", "Failed to download remote-config to file due to unknown error.")]


def trickle():
    """Headers at once, then the document a byte every two seconds."""
    for byte in VERSION_DOCUMENT:
        yield bytes([byte])
        time.sleep(2)


class RemoteConfigDownloadTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = bench.STATE / "remote-config"
        shutil.rmtree(cls.root, ignore_errors=True)
        # Removed after the trust, which reads the CA file to find it.
        cls.addClassCleanup(shutil.rmtree, cls.root, ignore_errors=True)
        cls.certificates = cls.enterClassContext(bench.trusted_certificates(cls.root / "certificates"))
        cls.responses = responses = {"ok": (200, VERSION_DOCUMENT), "garbage": (200, NOT_JSON),
                     # Accepts, then says nothing until well after the bound; then the whole document.
                     "silent": (200, VERSION_DOCUMENT, 2 * BOUND_SECONDS), "trickle": (200, trickle)}
        cls.server = https_server.ConfigServer(cls.certificates.server, responses)
        cls.stranger = https_server.ConfigServer(cls.certificates.stranger, responses)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.stranger.stop()

    def fetch(self, base_url, parameters, env=None, name=""):
        """Runs the step from an empty current directory (no local override).
        Returns (stdout, log messages as (level, text), working folder)."""
        case = self.root / (self.id().rsplit(".", 1)[-1] + name)
        current = case / "current"
        current.mkdir(parents=True)
        working = case / "KelvraInstaller_abcde"
        log = case / "fetch.log"
        result = bench.wine([bench.BIN / "remote_config_fetch.exe", bench.z_path(working), base_url, parameters,
                             bench.z_path(log)], env=env, cwd=current)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = log.read_bytes().decode("utf-8").split("\r\n")
        messages = bench.messages(line for line in lines if line)
        return result.stdout.decode().strip(), messages, working

    def assert_nothing_left_beside(self, working):
        """The download's temporary file is gone from the folder that holds the working folder."""
        self.assertEqual(sorted(path.name for path in working.parent.iterdir()),
                         ["KelvraInstaller_abcde", "current", "fetch.log"])

    def test_download_lands_in_the_working_folder_and_gives_the_version(self):
        out, messages, working = self.fetch(self.server.base_url(), "&case=ok")
        self.assertEqual(out, "result=0 version=2.0.9")
        self.assertEqual(messages, [("info", "Looking for remote config info for Kelvra Client."),
                                    ("info", "Downloaded latest remote-config file.")])
        self.assertEqual((working / "remoteconfig.json").read_bytes(), VERSION_DOCUMENT)
        # The parameter text follows the query directly, with no separator added.
        self.assertIn("/components/webinstaller?component_version=2.0.0&case=ok", self.server.requests)
        self.assert_nothing_left_beside(working)

    def test_a_server_that_outlasts_the_bound_is_given_up_and_leaves_nothing(self):
        """A silent server that answers only after the bound (while the process still
        lives), and one that trickles its body: the step ends at the bound as a failed
        download, and nothing of either download reaches the working folder."""
        for case, linger in (("silent", 3 * BOUND_SECONDS), ("trickle", 0)):
            with self.subTest(case):
                out, messages, working = self.fetch(self.server.base_url(), f"&case={case}",
                                                    dict(SHORT_BOUND, KELVRA_TEST_LINGER_MS=str(linger * 1000)), case)
                self.assertEqual(out, "result=1 version=0.0.0")
                self.assertEqual(messages, GAVE_UP)
                self.assertIn(f"/components/webinstaller?component_version=2.0.0&case={case}", self.server.requests)
                self.assertEqual(list(working.iterdir()), [])
                self.assert_nothing_left_beside(working)

    def test_a_document_changed_since_the_last_run_reaches_the_next_one(self):
        """Past every cache, though the server said its answer keeps for a day."""
        self.server.extra_headers = [("Cache-Control", "public, max-age=86400"),
                                     ("Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT")]
        self.addCleanup(setattr, self.server, "extra_headers", [])
        for version in ("2.0.9", "2.1.0"):
            self.responses["changing"] = (200, json.dumps({"content": {"windows": {"version": version}}}).encode())
            out, _, _ = self.fetch(self.server.base_url(), "&case=changing", name=version)
            self.assertEqual(out, f"result=0 version={version}")

    def test_the_users_proxy_settings_carry_the_download(self):
        """urlmon (WinINet) takes the user's proxy and its bypass list by itself."""
        proxy = proxy_server.ProxyServer()
        self.addCleanup(proxy.stop)
        for name, bypass, forwarded in (("proxy", "", [f"localhost:{self.server.port}"]), ("bypass", "<local>", [])):
            with self.subTest(name):
                proxy.records.clear()
                with bench.user_proxy_settings(proxy=proxy.address, bypass=bypass):
                    out, messages, working = self.fetch(self.server.base_url(), "&case=ok", name=name)
                self.assertEqual(out, "result=0 version=2.0.9")
                self.assertEqual((working / "remoteconfig.json").read_bytes(), VERSION_DOCUMENT)
                self.assertEqual(proxy.forwarded(), forwarded)

    def test_refused_connection_is_a_download_failure(self):
        url = f"https://localhost:{https_server.closed_port()}/components/webinstaller?component_version=2.0.0"
        out, messages, working = self.fetch(url, "")
        self.assertEqual(out, "result=1 version=0.0.0")
        self.assertEqual(messages, [
            ("info", "Looking for remote config info for Kelvra Client."),
            ("error", "Failed to download remote-config to file due to error INET_E_DOWNLOAD_FAILURE.")])
        self.assertEqual(list(working.iterdir()), [])
        self.assert_nothing_left_beside(working)

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
