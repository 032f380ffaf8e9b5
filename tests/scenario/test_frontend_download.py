"""The front end's download of the client setup, its resuming after a dropped
connection, the digest check, the setup's command line and exit code, and closing
the window during the download; run for real under Wine against a local HTTPS
download host serving the setup stand-in."""
import base64
import hashlib
import json
import re
import shutil
import subprocess
import time
import unittest

import frontend_bench as fe
import https_server
import proxy_server
import winebench as bench
from https_server import remote_config

WORK = bench.STATE / "frontend-download"
STANDIN = bench.BIN / "client_setup_standin.exe"
LOGIN = b"lp=5e6372657421"
CAMPAIGN = b'{"login_parameters":"' + LOGIN + b'","campaign":{"id":7,"source":"mail"}}'
IDYES, IDNO = 6, 7
WM_APP = 0x8000


def setUpModule():
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)


class DownloadCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        bench.serve_setup(cls, STANDIN.read_bytes(), WORK / "certificates")
        cls.sha256 = hashlib.sha256(cls.content).hexdigest()

    def setUp(self):
        self.record = WORK / "setup-record.jsonl"
        self.record.unlink(missing_ok=True)

    def start(self, name, link, md5, campaign=CAMPAIGN, args=(), locale="en_US.UTF-8", exit_code=0, sha256=None,
              pause_ms=None):
        """pause_ms: the test build's pause before the second try, in place of the product's."""
        program = fe.TEST_HOST_FRONT_END if pause_ms else None
        folder = fe.stage(WORK / name, remote_config(link, md5, sha256), campaign, program=program)
        env = {"KELVRA_SETUP_RECORD": bench.z_path(self.record), "KELVRA_SETUP_EXIT": str(exit_code)}
        if pause_ms:
            env["KELVRA_TEST_RETRY_PAUSE_MS"] = str(pause_ms)
        run = fe.FrontEnd(folder, args, locale, env)
        self.addCleanup(run.kill)
        return folder, run

    def close_and_answer(self, run, button):
        record = WORK / "question.json"
        record.unlink(missing_ok=True)
        watcher = bench.wine_background([bench.BIN / "notice_watcher.exe", bench.z_path(record), 30000, button])
        run.close()
        self.assertEqual(watcher.wait(timeout=60), 0)
        return json.loads(record.read_text(encoding="utf-8"))

    def setup_command_lines(self):
        if not self.record.exists():
            return []
        return [json.loads(line)["commandLine"] for line in self.record.read_text(encoding="utf-8").splitlines()]


class SetupLaunchTest(DownloadCase):
    def test_a_setup_whose_sha256_matches_too_runs(self):
        for name, sha256 in (("sha256", self.sha256), ("sha256-upper", self.sha256.upper())):
            with self.subTest(name=name):
                self.record.unlink(missing_ok=True)
                folder, run = self.start(name, self.server.url("ok"), self.md5, sha256=sha256)
                self.assertEqual(run.wait_exit(timeout=120), 0)
                self.assertEqual(len(self.setup_command_lines()), 1)
                self.assertFalse((folder / "KelvraSetup.exe").exists())
                self.assertEqual([m for level, m in run.messages() if level == "error"], [])

    def test_downloaded_setup_runs_with_its_command_line_and_its_exit_code_passes_through(self):
        encoded = base64.b64encode(CAMPAIGN).decode()
        # The setup gets the whole campaign; the log shows its login_parameters value redacted, members sorted.
        logged = base64.b64encode(b'{"campaign":{"id":7,"source":"mail"},"login_parameters":"[redacted]"}').decode()
        cases = [  # name, mode, digest, campaign, arguments, locale, setup exit code, expected command line
            ("campaign", "ok", self.md5, CAMPAIGN, (), "en_US.UTF-8", 0, f'/lang=en_US /campaign="{encoded}"'),
            ("upper-digest", "redirect", self.md5.upper(), None, (), "en_US.UTF-8", 0, '/lang=en_US /campaign=""'),
            ("japanese", "ok", self.md5, CAMPAIGN, (), "ja_JP.UTF-8", 0, f'/lang=en_US /campaign="{encoded}"'),
            ("product-ja", "ok", self.md5, CAMPAIGN, ("1234", "Kelvra Quest"), "ja_JP.UTF-8", 0,
             '/lang=ja_JP /webinstaller /product_id=1234{silent} /game_name="Kelvra Quest"'),
            ("product-de", "ok", self.md5, None, ("77", "Kelvra"), "de_DE.UTF-8", 5,
             '/lang=de_DE /webinstaller /product_id=77{silent} /game_name="Kelvra"'),
            ("elevation-denied", "ok", self.md5, CAMPAIGN, (), "en_US.UTF-8", 2, f'/lang=en_US /campaign="{encoded}"'),
        ]
        for name, mode, md5, campaign, args, locale, code, expected in cases:
            with self.subTest(name=name):
                self.record.unlink(missing_ok=True)
                folder, run = self.start(name, self.server.url(mode), md5, campaign, args, locale, code)
                self.assertEqual(run.wait_exit(timeout=120), code)
                lines = self.setup_command_lines()
                self.assertEqual(len(lines), 1)
                # The bench's drive may or may not have 1 GiB free: both are right.
                self.assertIn(lines[0], {expected.format(silent=" /silent"), expected.format(silent="")})
                self.assertFalse((folder / "KelvraSetup.exe").exists())
                messages = run.messages()
                setup = bench.z_path(folder / "KelvraSetup.exe")
                self.assertIn(("information", f"launching: {setup} with args: {lines[0].replace(encoded, logged)}"),
                              messages)
                self.assertFalse(bench.holds_secret("\n".join(m for _, m in messages).encode(), LOGIN))
                finished = f"Client setup finished with return code: {code}"
                if code == 0:
                    self.assertIn(("information", finished), messages)
                elif code == 2:
                    self.assertNotIn(finished, [m for _, m in messages])
                else:
                    self.assertIn(("error", finished), messages)
                self.assertIn(("information", "Deleting client setup file."), messages)
                self.assertEqual(messages[-3:], [("information", f"Exiting application with return code {code}"),
                                                 ("information", "Running cleanup."),
                                                 ("information", "Exit complete")])


class DownloadFailureTest(DownloadCase):
    def test_failures_show_their_page_and_nothing_is_started(self):
        refused = f"https://localhost:{https_server.closed_port()}/ok/KelvraSetup.exe"
        wrong = "0" * 32
        wrong_sha256 = "f" * 64
        mismatch = "Error: Downloaded file MD5 do not match remote-config data."
        cases = [  # name, address, MD5, SHA-256 (None: not configured), error page text key, first error lines
            ("digest-mismatch", self.server.url("ok"), wrong, None, "errorDownloadFail",
             [f"MD5 do not match, expecting: {wrong}, got: {self.md5}", mismatch]),
            # A second digest can't make up for a wrong first one.
            ("both-wrong", self.server.url("ok"), wrong, self.sha256, "errorDownloadFail",
             [f"MD5 do not match, expecting: {wrong}, got: {self.md5}", mismatch]),
            ("sha256-mismatch", self.server.url("ok"), self.md5, wrong_sha256.upper(), "errorDownloadFail",
             [f"SHA-256 do not match, expecting: {wrong_sha256}, got: {self.sha256}", mismatch]),
            ("sha256-malformed", self.server.url("ok"), self.md5, self.sha256[:-1] + "g", "errorDownloadFail",
             ["installerSha256 is not 64 hexadecimal digits (64 characters); the setup is refused", mismatch]),
            ("sha256-empty", self.server.url("ok"), self.md5, "", "errorDownloadFail",
             ["installerSha256 is not 64 hexadecimal digits (0 characters); the setup is refused", mismatch]),
            ("refused", refused, self.md5, None, "errorConnection", None),
            ("cut-off", self.server.url("cut"), self.md5, None, "errorConnection", None),
            ("not-found", self.server.url("missing"), self.md5, None, "errorConnection", None),
            # A configuration without a usable address: no connection to check.
            ("empty-link", "", self.md5, None, "errorUnexpected", None),
            ("not-a-web-address", "ftp://localhost/KelvraSetup.exe", self.md5, None, "errorUnexpected", None),
        ]
        texts = fe.strings("en")
        for name, link, md5, sha256, key, digest_errors in cases:
            with self.subTest(name=name):
                self.record.unlink(missing_ok=True)
                folder, run = self.start(name, link, md5, sha256=sha256)
                state = run.wait_page("tabError")
                self.assertEqual(state["controls"]["labelError"]["text"], texts[key])
                run.press("buttonErrorExit")
                self.assertEqual(run.wait_exit(), -1)
                self.assertEqual(self.setup_command_lines(), [])
                self.assertFalse((folder / "KelvraSetup.exe").exists())
                errors = [m for level, m in run.messages() if level == "error"]
                if digest_errors:
                    self.assertEqual(errors[:2], digest_errors)
                else:
                    self.assertEqual(len(errors), 1, errors)
                    self.assertTrue(errors[0].startswith(f"Error: Downloading '{link}' failed: "), errors)


    def test_a_setup_file_held_by_another_program_is_no_full_disk(self):
        folder = fe.stage(WORK / "held-open", remote_config(self.server.url("ok"), self.md5), CAMPAIGN)
        setup = folder / "KelvraSetup.exe"
        with bench.held_open([setup]):
            run = fe.FrontEnd(folder, (), "en_US.UTF-8", None)
            self.addCleanup(run.kill)
            state = run.wait_page("tabError")
            self.assertEqual(state["controls"]["labelError"]["text"], fe.strings("en")["errorUnexpected"])
            self.assertTrue(state["controls"]["linkLabelError"]["visible"])
            run.press("buttonErrorExit")
            self.assertEqual(run.wait_exit(), -1)
        link = self.server.url("ok")
        errors = [m for level, m in run.messages() if level == "error"]
        self.assertEqual(errors, [f"Error: Downloading '{link}' failed: CreateFile failed with error 32."])
        self.assertEqual(self.setup_command_lines(), [])


class ResumeTest(DownloadCase):
    RETRY = re.compile(r"The download was interrupted: .+ Try (\d) of 4 in (\d+) s, from byte \[(\d+)\]\.")
    RESTART = "The server sent the whole client setup again: the download started again from byte [0]."

    def transfers(self, link):
        path = link.split(str(self.server.port), 1)[1]
        return [t for t in self.server.transfers if t["path"] == path]

    def retries(self, run):
        """(try, pause in seconds, first byte) of each retry line, which must be warnings."""
        found = [(level, self.RETRY.fullmatch(m)) for level, m in run.messages() if m.startswith("The download was")]
        self.assertEqual({level for level, _ in found} - {"warning"}, set())
        self.assertTrue(all(match for _, match in found), found)
        return [tuple(int(group) for group in match.groups()) for _, match in found]

    def test_a_download_dropped_once_goes_on_and_installs(self):
        length = len(self.content)
        drop = length * 4 // 10
        etag = https_server.entity_tag(self.content)
        cases = [  # name, switches, (status, first byte, bytes sent) of each answer, restarted from zero
            # The second answer is the rest: nothing after the drop comes twice.
            ("resumed", {}, [(200, 0, drop), (206, drop, length - drop)], False),
            ("range-ignored", {"ignore_range": 1}, [(200, 0, drop), (200, 0, length)], True),
            # The file changed between the tries: If-Range makes the server send it whole.
            ("etag-changed", {"etag": "changing"}, [(200, 0, drop), (200, 0, length)], True),
        ]
        for name, switches, answers, restarted in cases:
            with self.subTest(name=name):
                self.record.unlink(missing_ok=True)
                link = self.server.url("ok", case=name, drop_after=drop, **switches)
                folder, run = self.start(name, link, self.md5, sha256=self.sha256)
                self.assertEqual(run.wait_exit(timeout=120), 0)
                # The setup ran: its MD5 and SHA-256 matched the whole file.
                self.assertEqual(len(self.setup_command_lines()), 1)
                transfers = self.transfers(link)
                self.assertEqual([(t["status"], t["first"], t["sent"]) for t in transfers], answers)
                self.assertEqual(transfers[0]["range"], None)
                self.assertEqual((transfers[1]["range"], transfers[1]["if_range"]),
                                 (f"bytes={drop}-", '"v0"' if name == "etag-changed" else etag))
                self.assertEqual(self.retries(run), [(2, 1, drop)])
                messages = run.messages()
                self.assertEqual(self.RESTART in [m for _, m in messages], restarted)
                self.assertEqual([m for level, m in messages if level == "error"], [])
                self.assertIn(("information", "Downloading client setup finished."), messages)

    def test_closing_the_window_during_the_pause_cancels_as_during_the_download(self):
        drop = len(self.content) // 10
        link = self.server.url("ok", case="closing", drop_after=drop, drop="always")
        # A pause far longer than the close takes on a loaded machine, so that it lands there.
        folder, run = self.start("closing-in-pause", link, self.md5, pause_ms=30000)
        for _ in range(100):
            if self.retries(run):
                break
            time.sleep(0.1)
        self.assertEqual(self.retries(run)[:1], [(2, 30, drop)])
        started = time.monotonic()
        self.close_and_answer(run, IDYES)
        self.assertEqual(run.wait_exit(), 2)
        # The pause is ended, not waited out.
        self.assertLess(time.monotonic() - started, 20)
        self.assertFalse((folder / "KelvraSetup.exe").exists())
        messages = run.messages()
        self.assertIn(("warning", "Canceling download."), messages)
        self.assertEqual([m for level, m in messages if level == "error"], [])
        self.assertEqual(len(self.transfers(link)), 1)


class ClosingDuringDownloadTest(DownloadCase):
    def test_declined_close_goes_on_and_confirmed_close_cancels_with_code_2(self):
        texts = fe.strings("en")
        folder, run = self.start("closing", self.server.url("slow"), self.md5)
        run.wait_page("tabDownload")
        # The size label shows the announced size (64 MB) once the refresh timer runs.
        expected = fe.compose(texts["labelDownloadSize"], "0", "64", texts["size"])
        for _ in range(20):
            if run.state()["controls"]["labelDownloadSize"]["text"] == expected:
                break
        self.assertEqual(run.state()["controls"]["labelDownloadSize"]["text"], expected)

        question = self.close_and_answer(run, IDNO)
        self.assertEqual((question["caption"], question["body"]), (texts["exitMsgTitle"], texts["exitMsgQuestion"]))
        self.assertEqual(sorted(b["id"] for b in question["buttons"]), [IDYES, IDNO])
        self.assertEqual(run.state()["page"], "tabDownload")
        size = (folder / "KelvraSetup.exe").stat().st_size
        self.assertGreater(size, 0)

        started = time.monotonic()
        self.close_and_answer(run, IDYES)
        self.assertEqual(run.wait_exit(), 2)
        # The running read is aborted, not waited out (the host would trickle for minutes).
        self.assertLess(time.monotonic() - started, 10)
        self.assertFalse((folder / "KelvraSetup.exe").exists())
        self.assertEqual(self.setup_command_lines(), [])
        messages = run.messages()
        self.assertIn(("warning", "Canceled window close event: UserClosing:[choice=False]"), messages)
        self.assertIn(("warning", "Canceled window close event: UserClosing:[choice=True]"), messages)
        self.assertIn(("warning", "Canceling download."), messages)
        self.assertNotIn("Downloading client setup finished.", [m for _, m in messages])
        exiting = messages.index(("information", "Exiting application with return code 2"))
        self.assertEqual(messages[exiting + 1], ("information", "Running cleanup."))
        self.assertEqual(messages[-1], ("information", "Exit complete"))

    def test_messages_another_program_posts_change_nothing(self):
        # The window's private messages: a wake-up, start-up finished (1: succeeded), exit with a code.
        link = self.server.url("ok", case="posted", pace_ms=300)
        _, run = self.start("posted", link, self.md5)
        run.wait_page("tabDownload")
        for message, wparam in ((WM_APP + 1, 0), (WM_APP + 2, 1), (WM_APP + 3, 7)):
            run.post(message, wparam)
        self.assertEqual(run.state()["page"], "tabDownload")
        self.assertEqual(run.wait_exit(timeout=60), 0)
        self.assertEqual(len(self.setup_command_lines()), 1)
        self.assertEqual(self.server.requests.count(link.split(str(self.server.port), 1)[1]), 1)


class UserProxyTest(DownloadCase):
    """The user's proxy settings in the prefix (Internet Settings), a local forwarding
    proxy in them: the configuration and the setup go the way the settings say, and
    the proxy's own record shows what it forwarded."""

    CONFIG_PATH = "/components/webinstaller?component_version=2.0.0"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.config_server = https_server.ConfigServer(
            cls.certificates.server,
            {cls.CONFIG_PATH: (200, json.dumps(remote_config(cls.server.url("ok"), cls.md5)).encode())})
        cls.addClassCleanup(cls.config_server.stop)

    def start_proxy(self, **options):
        proxy = proxy_server.ProxyServer(**options)
        self.addCleanup(proxy.stop)
        return proxy

    def install_with_downloaded_config(self, name):
        """A whole run that asks the service for its configuration; returns its log."""
        folder = fe.stage(WORK / name, None, CAMPAIGN, program=fe.TEST_HOST_FRONT_END)
        env = {"KELVRA_SETUP_RECORD": bench.z_path(self.record), "KELVRA_SETUP_EXIT": "0",
               "KELVRA_TEST_CONFIG_HOST": f"localhost:{self.config_server.port}"}
        run = fe.FrontEnd(folder, (), "en_US.UTF-8", env)
        self.addCleanup(run.kill)
        self.assertEqual(run.wait_exit(timeout=120), 0)
        self.assertEqual(len(self.setup_command_lines()), 1)
        return run.messages()

    def request_lines(self, messages):
        return [m for level, m in messages if m.startswith("HTTP GET ")]

    def expected_requests(self, route):
        return [f"HTTP GET https://localhost:{self.config_server.port}/components/webinstaller {route}.",
                f"HTTP GET {self.server.url('ok')} {route}."]

    def test_a_fixed_proxy_carries_the_configuration_and_the_setup(self):
        proxy = self.start_proxy()
        with bench.user_proxy_settings(proxy=proxy.address, bypass="*.zavsoft.com"):
            messages = self.install_with_downloaded_config("proxy-fixed")
        self.assertEqual(proxy.forwarded(), [f"localhost:{self.config_server.port}", f"localhost:{self.server.port}"])
        self.assertEqual(self.request_lines(messages), self.expected_requests(f"through proxy {proxy.address}"))

    def test_a_proxy_script_is_run_and_its_proxy_taken(self):
        proxy = self.start_proxy()
        proxy.pac_script = ('function FindProxyForURL(url, host) {\n'
                            f'  if (host == "localhost") return "PROXY {proxy.address}";\n'
                            '  return "DIRECT";\n}\n')
        # The fixed proxy beside the script is a dead one: the script's answer wins.
        dead = f"127.0.0.1:{https_server.closed_port()}"
        with bench.user_proxy_settings(proxy=dead, script_url=proxy.pac_url()):
            messages = self.install_with_downloaded_config("proxy-script")
        self.assertIn("/proxy.pac", [target for _, target, _ in proxy.records])
        self.assertEqual(proxy.forwarded(), [f"localhost:{self.config_server.port}", f"localhost:{self.server.port}"])
        self.assertEqual(self.request_lines(messages),
                         self.expected_requests(f"through proxy {proxy.address} (automatic configuration script)"))

    def test_a_script_that_cannot_be_fetched_falls_back_to_the_fixed_proxy(self):
        proxy = self.start_proxy()
        missing_script = f"http://127.0.0.1:{https_server.closed_port()}/proxy.pac"
        with bench.user_proxy_settings(proxy=proxy.address, script_url=missing_script):
            messages = self.install_with_downloaded_config("proxy-script-missing")
        self.assertEqual(proxy.forwarded(), [f"localhost:{self.config_server.port}", f"localhost:{self.server.port}"])
        self.assertEqual(self.request_lines(messages), self.expected_requests(f"through proxy {proxy.address}"))
        warnings = [m for level, m in messages if level == "warning" and "automatic proxy configuration" in m]
        self.assertEqual(len(warnings), 2, warnings)

    def test_closing_while_the_proxy_script_is_awaited_ends_at_once(self):
        proxy = self.start_proxy(pac_script='function FindProxyForURL(url, host) { return "DIRECT"; }\n')
        proxy.pac_released.clear()
        # WinHTTP fetches the script with no request handle of ours to abort; Wine waits
        # for its answer without a time-out (its receive-response time-out is infinite).
        with bench.user_proxy_settings(script_url=proxy.pac_url()):
            _, run = self.start("proxy-script-held", self.server.url("slow"), self.md5)
            self.addCleanup(proxy.pac_released.set)
            run.wait_page("tabDownload")
            for _ in range(100):
                if ("GET", "/proxy.pac", None) in proxy.records:
                    break
                time.sleep(0.1)
            self.assertIn(("GET", "/proxy.pac", None), proxy.records)
            unanswered = run.start_polls(5)
            started = time.monotonic()
            self.close_and_answer(run, IDYES)
            self.assertEqual(unanswered(), 0)
            self.assertEqual(run.wait_exit(timeout=10), 2)
        self.assertLess(time.monotonic() - started, 10)

    def test_a_bypassed_host_goes_direct_and_the_proxy_sees_nothing(self):
        proxy = self.start_proxy()
        # "<local>": host names without a dot, such as localhost.
        with bench.user_proxy_settings(proxy=proxy.address, bypass="*.zavsoft.com;<local>"):
            messages = self.install_with_downloaded_config("proxy-bypass")
        self.assertEqual(proxy.records, [])
        self.assertEqual(self.request_lines(messages), self.expected_requests("direct (bypass list)"))

    def test_a_proxy_that_wants_a_typed_password_ends_on_the_connection_page(self):
        proxy = self.start_proxy(basic_realm="Kelvra office")
        # A plain-http setup address: Wine's WinHTTP hands back the 407 of a plain
        # request (for https it fails the tunnel instead; that case follows).
        plain = f"http://localhost:{https_server.closed_port()}/ok/KelvraSetup.exe"
        texts = fe.strings("en")
        for name, link in (("proxy-basic", plain), ("proxy-basic-tls", self.server.url("ok"))):
            with self.subTest(name=name):
                proxy.records.clear()
                with bench.user_proxy_settings(proxy=proxy.address):
                    folder, run = self.start(name, link, self.md5)
                    state = run.wait_page("tabError")
                self.assertEqual(state["controls"]["labelError"]["text"], texts["errorConnection"])
                run.press("buttonErrorExit")
                self.assertEqual(run.wait_exit(), -1)
                self.assertEqual(self.setup_command_lines(), [])
                self.assertFalse((folder / "KelvraSetup.exe").exists())
                # Nothing went past the proxy, and it was never sent a password.
                self.assertEqual([authorization for _, _, authorization in proxy.records], [None])
                errors = [m for level, m in run.messages() if level == "error"]
                self.assertTrue(errors[-1].startswith(f"Error: Downloading '{link}' failed: "), errors)
                if link == plain:
                    self.assertEqual(errors, [
                        f"The proxy {proxy.address} asks for Basic authentication, which needs a typed user name "
                        "and password; the installer asks for none.",
                        f"Error: Downloading '{link}' failed: The server answered with status 407."])


class LowDiskSpaceTest(DownloadCase):
    """The front end runs from a folder on a 50 MB file system: a size-limited tmpfs
    mounted for the test (Wine reports the free space of the file system that holds
    the folder asked about). Needs the right to mount."""

    def setUp(self):
        super().setUp()
        self.mount = WORK / "small-drive"
        self.mount.mkdir(exist_ok=True)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=50m", "tmpfs", str(self.mount)],
                                 capture_output=True)
        if mounted.returncode != 0:
            self.skipTest(f"can't mount a small drive: {mounted.stderr.decode().strip()}")
        self.addCleanup(subprocess.run, ["umount", str(self.mount)], capture_output=True)

    def test_less_than_200_mb_free_shows_the_disk_space_page_before_any_download(self):
        texts = fe.strings("en")
        requests = len(self.server.requests)
        folder = fe.stage(self.mount / "work", remote_config(self.server.url("ok"), self.md5), CAMPAIGN)
        run = fe.FrontEnd(folder, (), "en_US.UTF-8", None)
        self.addCleanup(run.kill)
        state = run.wait_page("tabError")
        self.assertEqual(state["controls"]["labelError"]["text"], texts["errorSpace"])
        self.assertFalse(state["controls"]["linkLabelError"]["visible"])
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        self.assertEqual(len(self.server.requests), requests)
        self.assertFalse((folder / "KelvraSetup.exe").exists())
        self.assertIn(("error", "Error: Not enough free disk space."), run.messages())


if __name__ == "__main__":
    unittest.main()
