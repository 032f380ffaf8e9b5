"""Servers that misbehave during the front end's downloads: bodies without end,
longer than announced or announced too large, servers that stall or trickle, for
the client setup and for the remote configuration. Each failure must end on the
connection page with its log line, leave no setup file behind and start nothing.
The real front end under Wine against local HTTPS servers on 127.0.0.1. The slow
and endless cases run the test build of the front end with shortened waits and a
16 MiB setup cap, so that none of them waits out a minute or a gigabyte; the
product's own waits and cap are held by the unit tests (frontend_download_rules_test)."""
import re
import shutil
import time
import unittest

import frontend_bench as fe
import https_server
import setup_server
import winebench as bench
from https_server import remote_config

WORK = bench.STATE / "download-limits"
STANDIN = bench.BIN / "client_setup_standin.exe"
CONFIG_PATH = "/components/webinstaller?component_version=2.0.0"
MAX_SETUP_BYTES = 1024 ** 3
MAX_IN_MEMORY_BYTES = 4 * 1024 ** 2
# The test build's shortened waits: no answer within 3 s, or fewer than 64 KiB
# within 2 s, ends the exchange, and the setup's tries pause 0.1, 0.2 and 0.4 s. A
# trickle's gaps (1 s, 0.25 s for the configuration) stay well inside the time-out
# on a loaded machine, and the window judges it early.
STALL_WINDOW_SECONDS = 2
SHORT_WAITS = {"KELVRA_TEST_RECEIVE_TIMEOUT_MS": "3000", "KELVRA_TEST_RETRY_PAUSE_MS": "100",
               "KELVRA_TEST_STALL_WINDOW_MS": str(STALL_WINDOW_SECONDS * 1000)}
# The test build's setup cap: an endless body is cut off after 16 MiB, not 1 GiB.
TEST_SETUP_CAP_BYTES = 16 * 1024 ** 2
LOW_SETUP_CAP = {"KELVRA_TEST_SETUP_CAP_BYTES": str(TEST_SETUP_CAP_BYTES)}
TRICKLE_STALL = "The response stalled: fewer than 65536 bytes in {} seconds."
# The receive time-out: WinHTTP's code on Windows, the socket's (WSAETIMEDOUT) on Wine.
QUIET_RECEIVE = re.compile(r"WinHttpQueryDataAvailable failed with error (12002|10060)\.")
QUIET_HEADERS = re.compile(r"WinHttpReceiveResponse failed with error (12002|10060)\.")
# Long enough for the shortened waits to run out, or for an endless body to reach
# the test cap, on a slow machine.
PAGE_WAIT_MS = 120000


def slow_pieces(piece, seconds):
    """A piece now and then, for at most setup_server.STREAM_LIMIT_SECONDS."""
    def pieces():
        ends = time.monotonic() + setup_server.STREAM_LIMIT_SECONDS
        while time.monotonic() < ends:
            yield piece
            time.sleep(seconds)
    return pieces


def setUpModule():
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)


class LimitsCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        bench.serve_setup(cls, STANDIN.read_bytes(), WORK / "certificates")
        cls.responses = {}
        cls.config_server = https_server.ConfigServer(cls.certificates.server, cls.responses)
        cls.addClassCleanup(cls.config_server.stop)

    def setUp(self):
        self.record = WORK / "setup-record.jsonl"
        self.record.unlink(missing_ok=True)

    def start(self, name, link=None, program=None, waits=None):
        """The front end from a fresh folder; without a link it must download its configuration."""
        folder = fe.stage(WORK / name, remote_config(link, self.md5) if link else None, b"{}", program=program)
        self.staged = sorted(path.name for path in folder.iterdir())
        env = {"KELVRA_SETUP_RECORD": bench.z_path(self.record),
               "KELVRA_TEST_CONFIG_HOST": f"localhost:{self.config_server.port}", **(waits or {})}
        run = fe.FrontEnd(folder, (), "en_US.UTF-8", env)
        self.addCleanup(run.kill)
        return folder, run

    def assertEndsOnTheConnectionPage(self, folder, run, error_lines):
        """The connection page, exactly these error lines (texts, or patterns that
        match whole), nothing left in the folder but what was staged, and nothing
        started."""
        state = run.wait_page("tabError", PAGE_WAIT_MS)
        self.assertEqual(state["controls"]["labelError"]["text"], fe.strings("en")["errorConnection"])
        # The partial file goes when the page shows, not only when the program ends.
        self.assertEqual(sorted(path.name for path in folder.iterdir()), self.staged)
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        self.assertEqual(sorted(path.name for path in folder.iterdir()), self.staged)
        self.assertFalse(self.record.exists(), "the setup was started")
        errors = [m for level, m in run.messages() if level == "error"]
        self.assertEqual(len(errors), len(error_lines), errors)
        for error, expected in zip(errors, error_lines):
            if isinstance(expected, re.Pattern):
                self.assertIsNotNone(expected.fullmatch(error), error)
            else:
                self.assertEqual(error, expected)

    def assertDownloadFails(self, name, mode, message, program=None, waits=None):
        link = self.server.url(mode)
        folder, run = self.start(name, link, program, waits)
        start = f"Error: Downloading '{link}' failed: "
        if isinstance(message, re.Pattern):
            line = re.compile(re.escape(start) + message.pattern)
        else:
            line = start + message
        self.assertEndsOnTheConnectionPage(folder, run, [line])


class EndlessBodyTest(LimitsCase):
    def test_an_endless_setup_download_stops_at_the_cap_with_either_framing(self):
        for mode in ("endless-chunked", "endless-close"):
            with self.subTest(mode=mode):
                self.assertDownloadFails(mode, mode, f"The response is larger than {TEST_SETUP_CAP_BYTES} bytes.",
                                         fe.TEST_HOST_FRONT_END, LOW_SETUP_CAP)

    def test_an_endless_configuration_stops_at_4_mib_in_memory(self):
        self.responses[CONFIG_PATH] = (200, slow_pieces(b" " * 65536, 0))
        folder, run = self.start("endless-config", program=fe.TEST_HOST_FRONT_END)
        address = f"https://localhost:{self.config_server.port}{CONFIG_PATH}"
        self.assertEndsOnTheConnectionPage(folder, run, [
            f"Error reading remote config: The response is larger than {MAX_IN_MEMORY_BYTES} bytes.",
            f"Error: Getting json remote config: {address}"])


class AnnouncedLengthTest(LimitsCase):
    def test_bytes_past_the_announced_length_never_reach_the_file(self):
        # The server sends the setup and 4 MiB more; the digest of the file matches
        # the setup's only if WinHTTP stopped at the announced length.
        folder, run = self.start("overlong", self.server.url("overlong"))
        self.assertEqual(run.wait_exit(timeout=120), 0)
        self.assertEqual(len(self.record.read_text(encoding="utf-8").splitlines()), 1)
        messages = run.messages()
        self.assertIn(("information", "Downloading client setup finished."), messages)
        self.assertEqual([m for level, m in messages if level == "error"], [])
        self.assertFalse((folder / "KelvraSetup.exe").exists())

    def test_a_length_over_1_gib_is_refused_before_anything_is_written(self):
        self.assertDownloadFails("huge", "huge",
                                 f"The download announces {2 * MAX_SETUP_BYTES} bytes, more than {MAX_SETUP_BYTES}.")


class SlowServerTest(LimitsCase):
    def test_a_stalled_trickling_or_silent_setup_download_ends(self):
        cases = [  # name, mode, error message
            ("stall", "stall", QUIET_RECEIVE),
            ("trickle", "trickle", TRICKLE_STALL.format(STALL_WINDOW_SECONDS)),
            ("silent", "silent", QUIET_HEADERS),
        ]
        for name, mode, message in cases:
            with self.subTest(name=name):
                self.assertDownloadFails(name, mode, message, fe.TEST_HOST_FRONT_END, SHORT_WAITS)

    def test_a_trickling_configuration_ends(self):
        self.responses[CONFIG_PATH] = (200, slow_pieces(b" ", 0.25))
        folder, run = self.start("trickle-config", program=fe.TEST_HOST_FRONT_END, waits=SHORT_WAITS)
        address = f"https://localhost:{self.config_server.port}{CONFIG_PATH}"
        self.assertEndsOnTheConnectionPage(folder, run, [
            f"Error reading remote config: {TRICKLE_STALL.format(STALL_WINDOW_SECONDS)}",
            f"Error: Getting json remote config: {address}"])


if __name__ == "__main__":
    unittest.main()
