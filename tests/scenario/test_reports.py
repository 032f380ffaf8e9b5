"""Problem reports and events of the real front end, received by the local services
(tools/local_services.py): what they carry, that they arrive as UTF-8 (and events as
JSON) when paths and campaigns hold non-ASCII text, that the personalized token and
its login parameters never travel in their log snippets, and that a build without the
services' hosts sends nothing."""
import base64
import json
import re
import subprocess
import unittest
import urllib.parse

import frontend_bench as fe
import https_server
import local_services
import winebench as bench
from winebench import STAMP

# Non-ASCII in the working folder's path reaches reports through the log and the
# configuration's location.
WORK = bench.STATE / "reports-Žluťoučký kůň"
CAMPAIGN = '{"campaign":{"id":7,"source":"pošta \\"quoted\\""}}'.encode()
CLIENT_NUMBER = "4711"
SETUP = b"MZ" + bytes(range(256)) * 64
BOOTSTRAPPER_LOG_TEXT = "ß" * 6000 + "ending-of-the-bootstrapper-log"
RETRY = re.compile(r"The download was interrupted: .+ Try (\d) of 4 in ([\d.]+) s, from byte \[(\d+)\]\.")


def redacted_payload(campaign):
    """What a report's payload member carries of a campaign: the campaign with its
    login_parameters value redacted (members sorted), or "[redacted]" for one that is
    not JSON."""
    try:
        document = json.loads(campaign)
    except ValueError:
        return b"[redacted]"
    if "login_parameters" in document:
        document["login_parameters"] = "[redacted]"
    return json.dumps(document, separators=(",", ":"), ensure_ascii=False, sort_keys=True).encode()


class ReportsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.services = local_services.LocalServices(WORK / "services", SETUP)
        cls.enterClassContext(bench.trusted_root(cls.services.ca))
        cls.hosts = {"KELVRA_TEST_REPORT_HOST": f"127.0.0.1:{cls.services.http_port}",
                     "KELVRA_TEST_TELEMETRY_HOST": f"localhost:{cls.services.https_port}",
                     "KELVRA_TEST_CLIENT_NUMBER": CLIENT_NUMBER,
                     "KELVRA_TEST_CONFIG_HOST": f"localhost:{cls.services.https_port}"}

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()

    def setUp(self):
        self.services.record.write_text("")
        bench.LOG_DIR.mkdir(parents=True, exist_ok=True)
        bench.LOG.write_bytes(BOOTSTRAPPER_LOG_TEXT.encode("utf-8"))
        self.addCleanup(lambda: bench.LOG.unlink(missing_ok=True))

    def start(self, folder, env):
        run = fe.FrontEnd(folder, (), env=env)
        self.addCleanup(run.kill)
        return run

    def stage(self, document, campaign=CAMPAIGN):
        folder = WORK / self.id().rsplit(".", 1)[-1]
        return fe.stage(folder, document, campaign, program=fe.TEST_HOST_FRONT_END)

    def assertReport(self, message_start, campaign=CAMPAIGN):
        reports = self.services.received("report")
        self.assertEqual(len(reports), 1, reports)
        report = reports[0]
        self.assertTrue(report["utf8"])
        self.assertEqual(report["content_type"], "application/x-www-form-urlencoded")
        problem = json.loads(report["problem_message"])
        arguments = problem["Arguments"]
        self.assertEqual(problem["ProblemReport"], "Webinstaller-Failure")
        self.assertTrue(arguments["error"].startswith(message_start), arguments["error"])
        self.assertEqual(arguments["applicationType"], "Webinstaller")
        self.assertEqual(arguments["remoteConfigVersion"], "2.0.0")
        payload = urllib.parse.unquote_plus(arguments["payload"])
        expected = redacted_payload(campaign)
        self.assertEqual(payload.encode() if expected == b"[redacted]" else base64.b64decode(payload), expected)
        snippet = report["log_snippet"]
        self.assertIn("InstallerWebinstaller.log content:", snippet)
        self.assertIn("InstallerBootstrapper.log content:", snippet)
        # The bootstrapper's log is longer than 5000 characters: only its end travels.
        tail = snippet.split("InstallerBootstrapper.log content:", 1)[1]
        self.assertIn("[--cut here--]", tail)
        self.assertTrue(tail.rstrip().endswith(BOOTSTRAPPER_LOG_TEXT[-5000:]))
        self.assertIn("Setting up gui elements.", snippet)
        return arguments

    def test_failures_send_one_report_with_both_logs(self):
        cases = [  # name, configuration file (dict, bytes or None), report message, page
            ("deprecated", lambda: self.services.config("missing", deprecated=True),
             "Remote config suggests this installer is deprecated.", "errorOutdated"),
            ("not-json", lambda: b"{not json", "Failed getting json remote config: ", "errorConnection"),
        ]
        for name, document, message, page in cases:
            with self.subTest(name):
                self.services.record.write_text("")
                folder = self.stage(document())
                run = self.start(folder, self.hosts)
                state = run.wait_page("tabError")
                self.assertEqual(state["controls"]["labelError"]["text"], fe.strings("en")[page])
                run.press("buttonErrorExit")
                self.assertEqual(run.wait_exit(), -1)
                arguments = self.assertReport(message)
                if name == "not-json":
                    # The configuration's location, non-ASCII path and all.
                    self.assertIn(WORK.name, arguments["error"])
                messages = run.messages()
                self.assertIn(("information", f"Sending error to 127.0.0.1:{self.services.http_port}: "
                               + arguments["error"]), messages)
                self.assertFalse([m for level, m in messages if "Sending error failed" in m])
                # The failure comes before the download would start: no event.
                self.assertEqual(self.services.received("event"), [])

    def test_start_up_sends_the_started_event(self):
        cases = [  # campaign file, campaign the event carries, warning logged
            (CAMPAIGN, json.loads(CAMPAIGN), False),
            (b"not { json", {}, True),
        ]
        for campaign, expected, warned in cases:
            with self.subTest(campaign=campaign):
                self.services.record.write_text("")
                folder = self.stage(self.services.config("missing"), campaign)
                run = self.start(folder, self.hosts)
                run.wait_page("tabError", timeout_ms=30000)  # the setup is missing: 404
                run.press("buttonErrorExit")
                run.wait_exit()
                events = self.services.received("event")
                self.assertGreaterEqual(len(events), 1, events)
                event = events[0]
                self.assertEqual(event["path"], f"/clients/{CLIENT_NUMBER}/events")
                self.assertEqual(event["content_type"], "application/json")
                self.assertTrue(event["user_agent"].startswith("ZAVWebinstaller/2.0.0.0 ("), event["user_agent"])
                self.assertTrue(event["utf8"])
                body = event["json"]
                self.assertIsNotNone(body, event["body"])
                self.assertEqual(body["type"], "kelvra_download_started")
                self.assertEqual(body["meta"]["campaign"], expected)
                self.assertEqual(body["data"]["version"], "3.1.4")
                self.assertRegex(body["date"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")
                self.assertRegex(body["uuid"], r"^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")
                messages = run.messages()
                self.assertIn(("information", "Sending event: " + event["body"]), messages)
                self.assertIn(("information", "Send result: 200"), messages)
                self.assertEqual(warned, ("warning", "The campaign is not JSON; the event names an empty one")
                                 in messages)
                # A setup the service doesn't have: the download's report.
                self.assertReport("Failed downloading ZAV Kelvra Installer: ", campaign)

    def test_a_stamped_run_reports_neither_its_token_nor_its_login_parameters(self):
        login = "lp=73616c7479"
        campaign = {"login_parameters": login, "campaign": {"source": "mail", "id": 7}}
        compact = json.dumps(campaign, separators=(",", ":"))
        token = base64.b64encode(compact.encode()).decode()
        folder = WORK / "stamped"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "campaign.json").write_text(compact)
        stamped = folder / "InstallerBootstrapper.exe"
        stamping = subprocess.run([str(STAMP), "--campaign", str(folder / "campaign.json"), str(bench.BOOTSTRAPPER),
                                   str(stamped)], capture_output=True, timeout=60)
        self.assertEqual(stamping.returncode, 0, stamping.stderr)
        bench.LOG.write_bytes(b"")
        # The run logs its token and stops at the system check (no .NET in this prefix).
        cwd = folder / "cwd"
        cwd.mkdir(exist_ok=True)
        (cwd / "remoteconfig.json").write_text(json.dumps(self.services.config("missing")))
        bench.run_with_notice_watch([stamped], cwd=cwd)
        redacted = redacted_payload(compact).decode()
        local_log = bench.LOG.read_text(encoding="utf-8")
        self.assertIn(f"Succeeded to read token: [{base64.b64encode(redacted.encode()).decode()}]", local_log)

        front_end_start = bench.log_size(fe.LOG)
        run = self.start(self.stage(self.services.config("missing"), compact.encode()), self.hosts)
        run.wait_page("tabError", timeout_ms=30000)  # the setup is missing: 404
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        report = self.services.received("report")[0]
        snippet = report["log_snippet"]
        for line in ("Succeeded to read token: [redacted]", "Token: [redacted]", "Decoded token: [redacted]",
                     "Has token. Try to read it", '"login_parameters":"[redacted]"'):
            self.assertIn(line, snippet)
        for secret in (token, login, compact):
            self.assertNotIn(secret, snippet)
        # Nowhere in the report, whatever the encoding: the body URL-decoded, every
        # base64 run in it decoded, and those inside the decoded snippet too.
        self.assertEqual(base64.b64decode(urllib.parse.unquote_plus(json.loads(report["problem_message"])
                                                                    ["Arguments"]["payload"])), redacted.encode())
        self.assertFalse(bench.holds_secret(urllib.parse.unquote_plus(report["body"]).encode(), login.encode()))
        # Nor in the logs on the machine, which every user can read.
        with fe.LOG.open("rb") as log:
            log.seek(front_end_start)
            front_end_log = log.read()
        for written in (bench.LOG.read_bytes(), front_end_log):
            for secret in (login, token, base64.b64encode(compact.encode()).decode()):
                self.assertNotIn(secret.encode(), written)
            self.assertFalse(bench.holds_secret(written, login.encode()))
        # The event goes to its service (over https) with the whole campaign; its log line shows it redacted.
        event = self.services.received("event")[0]["body"]
        self.assertIn(login, event)
        self.assertIn(("information", "Sending event: " + event.replace(compact, redacted)), run.messages())

    def test_a_log_held_by_another_program_is_left_out(self):
        folder = self.stage(self.services.config("missing", deprecated=True))
        with bench.held_open([bench.LOG]):
            run = self.start(folder, self.hosts)
            run.wait_page("tabError")
            run.press("buttonErrorExit")
            self.assertEqual(run.wait_exit(), -1)
        snippet = self.services.received("report")[0]["log_snippet"]
        log_path = "C:\\ProgramData\\ZAVsoft\\Kelvra\\logs\\InstallerBootstrapper.log"
        self.assertTrue(snippet.rstrip().endswith(log_path + " content:"), snippet[-300:])
        self.assertIn(("information", "cannot read: " + log_path), run.messages())

    def test_a_run_on_the_users_own_logs_reports_only_its_own_lines(self):
        user_logs = bench.user_log_dir()
        user_logs.mkdir(parents=True, exist_ok=True)
        windows_logs = "C:\\" + "\\".join(user_logs.relative_to(bench.DRIVE_C).parts)
        bootstrapper_log = user_logs / "InstallerBootstrapper.log"
        earlier = "an earlier run's line\r\n".encode()
        bootstrapper_log.write_bytes(earlier + "this run's bootstrapper line\r\n".encode())
        self.addCleanup(lambda: bootstrapper_log.unlink(missing_ok=True))
        secret = WORK / "secret.txt"
        secret.write_text("not for any report")
        cases = [  # bootstrapper log named in the environment, what the report carries of it, and not
            (windows_logs + "\\InstallerBootstrapper.log", "this run's bootstrapper line", "an earlier run's line"),
            # No other file, whatever the environment says: the log beside our own then.
            (bench.z_path(secret), "an earlier run's line", "not for any report"),
        ]
        for named, carried, left_out in cases:
            with self.subTest(named=named):
                self.services.record.write_text("")
                env = dict(self.hosts, KELVRA_BOOTSTRAPPER_LOG=named, KELVRA_BOOTSTRAPPER_LOG_START=str(len(earlier)))
                folder = self.stage(self.services.config("missing", deprecated=True))
                with bench.held_open([fe.LOG]):
                    run = self.start(folder, env)
                    run.wait_page("tabError")
                    run.press("buttonErrorExit")
                    self.assertEqual(run.wait_exit(), -1)
                snippet = self.services.received("report")[0]["log_snippet"]
                own, bootstrapper = snippet.split(windows_logs + "\\InstallerBootstrapper.log content:")
                self.assertIn(windows_logs + "\\InstallerWebinstaller.log content:", own)
                self.assertIn("[warning] The shared log [C:\\ProgramData\\ZAVsoft\\Kelvra\\logs\\"
                              "InstallerWebinstaller.log] can't be used: cannot open [C:\\ProgramData\\ZAVsoft\\"
                              "Kelvra\\logs\\InstallerWebinstaller.log]. Error code 32. Logging to this user's log "
                              "instead.", own)
                self.assertIn("Setting up gui elements.", own)
                self.assertIn(carried, bootstrapper)
                self.assertNotIn(left_out, bootstrapper)
                self.assertNotIn("ending-of-the-bootstrapper-log", snippet)

    def test_a_build_without_the_services_sends_nothing(self):
        folder = self.stage(self.services.config("missing", deprecated=True))
        run = self.start(folder, {"KELVRA_TEST_CONFIG_HOST": self.hosts["KELVRA_TEST_CONFIG_HOST"]})
        run.wait_page("tabError")
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        self.assertEqual(self.services.received("report"), [])
        self.assertIn(("information", "Problem reports are not sent: no problem-report host in this build"),
                      run.messages())

    def test_a_download_that_drops_every_time_ends_on_the_connection_page_and_reports_its_tries(self):
        drop = len(SETUP) // 10
        self.services.drop_after, self.services.drop = drop, "always"
        self.addCleanup(setattr, self.services, "drop_after", None)
        document = self.services.config()
        folder = self.stage(document)
        # The test build's pauses: 0.1, 0.2 and 0.4 s in place of 1, 2 and 4.
        run = self.start(folder, dict(self.hosts, KELVRA_TEST_RETRY_PAUSE_MS="100"))
        state = run.wait_page("tabError", 60000)
        self.assertEqual(state["controls"]["labelError"]["text"], fe.strings("en")["errorConnection"])
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        link = document["content"]["windows"]["downloadLink"]
        arguments = self.assertReport("Failed downloading ZAV Kelvra Installer: ")
        self.assertEqual(arguments["error"], f"Failed downloading ZAV Kelvra Installer: {link} (4 tries)")
        # Each try resumed where the last one stopped, after its pause.
        answers = [(e["status"], e["range"], e["first"], e["sent"]) for e in self.services.received("setup")]
        self.assertEqual(answers, [(200, None, 0, drop)] + [(206, f"bytes={n * drop}-", n * drop, drop)
                                                             for n in (1, 2, 3)])
        messages = run.messages()
        retries = [(level, RETRY.fullmatch(m)) for level, m in messages if m.startswith("The download was")]
        self.assertEqual({level for level, _ in retries}, {"warning"})
        self.assertEqual([match and match.groups() for _, match in retries],
                         [("2", "0.1", str(drop)), ("3", "0.2", str(2 * drop)), ("4", "0.4", str(3 * drop))])
        errors = [m for level, m in messages if level == "error"]
        self.assertEqual(len(errors), 1, errors)
        self.assertTrue(errors[0].startswith(f"Error: Downloading '{link}' failed: "), errors)
        self.assertFalse((folder / "KelvraSetup.exe").exists())
        self.assertEqual([m for _, m in messages if m.startswith("launching: ")], [])

    def test_unreachable_services_are_only_logged(self):
        folder = self.stage(self.services.config("missing", deprecated=True))
        closed = f"127.0.0.1:{https_server.closed_port()}"
        env = dict(self.hosts, KELVRA_TEST_REPORT_HOST=closed)
        run = self.start(folder, env)
        run.wait_page("tabError")
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        self.assertIn(("error", "Sending error failed (StreamWriter)"), run.messages())


if __name__ == "__main__":
    unittest.main()
