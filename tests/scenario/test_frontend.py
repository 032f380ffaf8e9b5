"""The installer front end's window, languages, start-up inputs and error page,
run for real under Wine from a working folder laid out as the bootstrapper leaves it."""
import collections
import http.server
import json
import re
import shutil
import threading
import time
import unittest

import frontend_bench as fe
import https_server
import setup_server
import winebench as bench
from https_server import remote_config

CONFIG = remote_config("https://localhost:1/KelvraSetup.exe", "0123456789abcdef0123456789abcdef")
DEPRECATED = {"content": {"windows": {"version": "2.4.0", "deprecated": True}}}
CAMPAIGN = b'{"campaign":{"id":7,"source":"mail"}}'
CONFIG_PATH = "/components/webinstaller?component_version=2.0.0"

WORK = bench.STATE / "frontend"
URL_RECORD = WORK / "opened-urls.txt"
HTTPS_COMMAND = r"HKLM\Software\Classes\https\shell\open\command"
X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"
IDYES = 6
IDNO = 7
# What a confirmed close during the download logs besides the exit.
CANCEL_WARNINGS = [("warning", "Canceled window close event: UserClosing:[choice=True]"),
                   ("warning", "Canceling download.")]
DESKTOP = r"HKCU\Control Panel\Desktop"
LANGUAGES = [  # locale, culture the front end detects, string table it shows
    ("en_US.UTF-8", "en-US", "en"),
    ("de_DE.UTF-8", "de-DE", "de"),
    ("ja_JP.UTF-8", "ja-JP", "ja"),
    ("pt_BR.UTF-8", "pt-BR", "pt-BR"),
    ("es_MX.UTF-8", "es-MX", "es-MX"),
    ("es_AR.UTF-8", "es-AR", "es"),  # no table of its own: its parent's
]
TABLE_OF_LOCALE = {locale: table for locale, _, table in LANGUAGES} | {"ru_RU.UTF-8": "ru"}
# The stamp of each log line, in the user's date format.
DATE_STAMPS = {"en-US": r"\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M",
               "de-DE": r"\d{1,2}\.\d{1,2}\.\d{4} \d\d:\d\d:\d\d"}
# What a confirmed close logs from its question to the end, on any page that asks.
# The HTTP client's own lines (protocols, proxy detection, each request's route).
NETWORK_LINES = ("Secure protocols: ", "Automatic proxy detection ", "HTTP GET ", "HTTP POST ")
# What a screen reader finds on each page (the driver's probe): the focus and, for each
# visible control, [MSAA name, role, value, tab stop, text fits]. Under Wine oleacc names
# a control by its window text, calls each one "client" and gives no value (see
# frontend/README.md for what Windows adds); the page itself has no name.
def probe_tables(texts, size):
    return {
        "tabInit": ("progressBarInit", {"page": ["", "client", ""],
                                        "labelWelcome": [texts["labelWelcome"], "client", "", False, True],
                                        "progressBarInit": [texts["labelWelcome"], "client", "", False, True]}),
        "tabDownload": ("progressBarDownload", {"page": ["", "client", ""],
                                                "labelDownloadSize": [size, "client", "", False, True],
                                                "progressBarDownload": [size, "client", "", False, True],
                                                "labelStatistics": ["", "client", "", False, True]}),
        "tabDone": ("labelWaitEnd", {"page": ["", "client", ""],
                                     "labelWaitEnd": [texts["labelWaitEnd"], "client", "", False, True]}),
        "tabError": ("buttonErrorExit", {"page": ["", "client", ""],
                                         "labelError": [texts["errorOutdated"], "client", "", False, True],
                                         "linkLabelError": [texts["errorOutdated_link"], "client", "", True, True],
                                         "buttonErrorExit": [texts["buttonErrorExit"], "client", "", True, True]}),
    }


CANCEL_ENDING = [*CANCEL_WARNINGS,
                 ("information", "Deleting client setup file."),
                 ("information", "Exiting application with return code 2"),
                 ("information", "Running cleanup."),
                 # The cancel flag is still set when the exit cleans up.
                 ("warning", "Canceling download."),
                 ("information", "Deleting client setup file."),
                 ("information", "Exit complete")]


def setUpModule():
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)
    # The client download trickles on for as long as a test looks at the download page.
    global _download_certificates, _download_server
    _download_certificates = unittest.enterModuleContext(bench.trusted_certificates(WORK / "download-certificates"))
    _download_server = setup_server.SetupServer(_download_certificates.server, b"")
    CONFIG["content"]["windows"]["downloadLink"] = _download_server.url("slow")
    # Without a window manager on the bench's display Wine draws the caption only
    # when it decorates windows itself: the screenshots then show the title bar.
    bench.registry_set(X11_DRIVER, "Decorated", "N")
    # A link opens its address through the https handler: the driver writes it down
    # instead of starting a browser.
    global _https_handler
    _https_handler = bench.registry_key_restored(HTTPS_COMMAND)
    _https_handler.__enter__()
    command = f'"{bench.z_path(fe.DRIVER)}" record "{bench.z_path(URL_RECORD)}" "%1"'
    result = bench.wine(["reg", "add", HTTPS_COMMAND, "/ve", "/d", command, "/f"])
    assert result.returncode == 0, result.stderr


def tearDownModule():
    _download_server.stop()
    _https_handler.__exit__(None, None, None)
    bench.wine(["reg", "delete", X11_DRIVER, "/v", "Decorated", "/f"])


class FrontEndCase(unittest.TestCase):
    def start(self, folder, args=(), locale="en_US.UTF-8", env=None):
        run = fe.FrontEnd(folder, args, locale, env)
        self.addCleanup(run.kill)
        return run

    def folder(self, name=None):
        return WORK / (name or self.id().rsplit(".", 1)[-1])

    def assertClosesWith(self, run, code):
        run.close()
        self.assertEqual(run.wait_exit(), code)
        self.assertEqual(run.messages()[-1], ("information", "Exit complete"))

    def assertCancelsDownload(self, run, ask=None):
        """Closes the window during the download (or while it is being prepared) and
        confirms: the run ends with 2. The question must be the one to quit the download."""
        record = WORK / "question.json"
        record.unlink(missing_ok=True)
        watcher = bench.wine_background([bench.BIN / "notice_watcher.exe", bench.z_path(record), 30000, IDYES],
                                        locale=run.locale)
        (ask or run.close)()
        self.assertEqual(watcher.wait(timeout=60), 0)
        self.assertEqual(run.wait_exit(), 2)
        self.assertEqual(run.messages()[-1], ("information", "Exit complete"))
        question = json.loads(record.read_text(encoding="utf-8"))
        texts = fe.strings(TABLE_OF_LOCALE.get(run.locale, "en"))
        self.assertEqual((question["caption"], question["body"]), (texts["exitMsgTitle"], texts["exitMsgQuestion"]))
        self.assertEqual([button["id"] for button in question["buttons"]], [IDYES, IDNO])


    def end(self, run, config):
        """Ends a run on the download page (its question confirmed) or on the error page."""
        if config is CONFIG:
            self.assertCancelsDownload(run)
        else:
            self.assertClosesWith(run, 0)

    def assertProbes(self, run, page, shown=True):
        """The page's probe table; the focus too where the run showed the page (not a preview)."""
        probe = run.probe()
        texts = fe.strings(TABLE_OF_LOCALE.get(run.locale, "en"))
        size = probe["controls"].get("labelDownloadSize", [""])[0]
        focus, table = probe_tables(texts, size)[page]
        self.assertEqual(probe["controls"], table)
        if shown:
            self.assertEqual(probe["focus"], focus)

    def assertReadable(self, run):
        """Every text of the shown page fits its box; no two controls overlap, each inside the window."""
        probe, state = run.probe(), run.state()
        self.assertEqual([name for name, row in probe["controls"].items() if name != "page" and not row[-1]], [])
        rects = [c["rect"] for c in state["controls"].values() if c["visible"]]
        width, height = state["client"]
        for i, (left, top, right, bottom) in enumerate(rects):
            self.assertTrue(0 <= left < right <= width and 0 <= top < bottom <= height, rects)
            for other in rects[i + 1:]:
                self.assertTrue(right <= other[0] or other[2] <= left or bottom <= other[1] or other[3] <= top, rects)


class WindowAndLanguagesTest(FrontEndCase):
    def test_texts_follow_the_user_interface_language(self):
        # Also the log: its folder made again, holding the front end's log alone, its
        # lines in the user's date format, and what a run started by the bootstrapper logs.
        shutil.rmtree(bench.LOG_DIR, ignore_errors=True)
        folder = fe.stage(self.folder(), CONFIG, CAMPAIGN)
        for locale, culture, table in LANGUAGES:
            with self.subTest(culture=culture):
                texts = fe.strings(table)
                run = self.start(folder, locale=locale)
                state = run.wait_page("tabDownload")
                self.assertEqual([p.name for p in bench.LOG_DIR.iterdir()], ["InstallerWebinstaller.log"])
                controls = state["controls"]
                self.assertEqual(state["title"], texts["zavKelvra"])
                self.assertEqual(controls["labelWelcome"]["text"], texts["labelWelcome"])
                self.assertEqual(controls["labelWaitEnd"]["text"], texts["labelWaitEnd"])
                self.assertEqual(controls["buttonErrorExit"]["text"], texts["buttonErrorExit"])
                self.assertEqual(controls["labelStatistics"]["text"], "")
                self.assertTrue(controls["progressBarDownload"]["visible"])
                # The refresh timer fills the size label from the statistics, empty until
                # the trickling download's headers arrive: either way, in this language.
                size = re.escape(fe.compose(texts["labelDownloadSize"], "\x01", "\x02", texts["size"]))
                size = size.replace("\x01", "0").replace("\x02", "(0|64)")
                self.assertRegex(self.wait_for_text(run, "labelDownloadSize"), f"^{size}$")
                run.screenshot(f"download-{culture}")
                if culture == "en-US":
                    run.show_page("tabDone")
                    run.screenshot("done-preview-en-US")
                self.assertIn(("information", f"Detected language is {culture}"), run.messages())
                self.assertCancelsDownload(run)
                lines = bench.log_lines(run.log_start, fe.LOG)
                self.assertGreater(len(lines), 5)
                for line in lines:
                    self.assertRegex(line, rf"^\[{DATE_STAMPS.get(culture, '.+?')}\] \[(information|warning|error)\] ")
                if culture == "en-US":
                    self.assertLogsItsStartUp(folder, run.messages())
        # The two Spanish tables really differ where the fallback is checked.
        self.assertNotEqual(fe.strings("es")["labelWaitEnd"], fe.strings("es-MX")["labelWaitEnd"])

    def wait_for_text(self, run, control, tries=20):
        for _ in range(tries):
            text = run.state()["controls"][control]["text"]
            if text:
                return text
        return ""

    def assertLogsItsStartUp(self, folder, messages):
        path = bench.z_path(folder)
        user = [m for _, m in messages if m.startswith("Installer running as user ")]
        self.assertEqual(len(user), 1)
        self.assertRegex(user[0], r"^Installer running as user \S+ - elevation status (True|False)\. $")
        # Reports, events and the network log their own lines; they are checked where they are built.
        reporting = ("Installer running as user ", "Events are not sent", "Problem reports are not sent",
                     "Sending event", "Send result", "Sending error", *NETWORK_LINES)
        requests = [m for level, m in messages if m.startswith("HTTP GET ")]
        self.assertEqual(len(requests), 1, requests)
        self.assertRegex(requests[0], r"^HTTP GET https://localhost:\d+/\w+/KelvraSetup\.exe direct\.$")
        self.assertEqual([m for m in messages if not m[1].startswith(reporting)], [
            ("information", "Setting up gui elements."),
            ("information", "Parsing arguments: "),
            ("information", "Setting up localized strings."),
            ("information", "Detected language is en-US"),
            ("information", f"Loading icon file: {path}\\icon.ico"),
            ("information", f"Getting json remote config: {path}\\remoteconfig.json"),
            ("information", "Getting json remote config successful"),
            ("information", "Starting client download."),
            *CANCEL_ENDING,
        ])

    def test_product_id_and_game_name_name_the_window(self):
        folder = fe.stage(self.folder(), CONFIG)
        cases = [  # arguments, title
            (["1234", "Kelvra Quest"], fe.compose(fe.strings("en")["windowName"], "Kelvra Quest")),
            (["1234"], fe.strings("en")["zavKelvra"]),
            (["1234", "Kelvra Quest", "extra"], fe.strings("en")["zavKelvra"]),
        ]
        for args, title in cases:
            with self.subTest(args=args):
                run = self.start(folder, args)
                state = run.wait_page("tabDownload")
                self.assertEqual(state["title"], title)
                self.assertIn(("information", "Parsing arguments: " + ", ".join(args)), run.messages())
                if len(args) == 2:
                    self.wait_for_text(run, "labelDownloadSize")
                    run.screenshot("download-game-name-en-US")
                self.assertCancelsDownload(run)

class ScaledDisplayCase(FrontEndCase):
    """The display at LOG_PIXELS. Wine's desktop reads the DPI when it starts, so the
    bench starts anew around these tests."""
    LOG_PIXELS = 144

    @classmethod
    def setUpClass(cls):
        cls.dpi = bench.registry_values([(DESKTOP, "LogPixels", cls.LOG_PIXELS, "REG_DWORD")])
        cls.dpi.__enter__()
        fe.restart_bench()

    @classmethod
    def tearDownClass(cls):
        cls.dpi.__exit__(None, None, None)
        fe.restart_bench()


class ScaledDisplayTest(ScaledDisplayCase):
    """The display at 150 %."""

    def test_window_scales_to_150_percent(self):
        folder = fe.stage(self.folder(), DEPRECATED)
        run = self.start(folder, locale="de_DE.UTF-8")
        state = run.wait_page("tabError")
        run.screenshot("error-outdated-de-DE-150")
        self.assertClosesWith(run, 0)
        self.assertEqual(state["dpi"], 144)
        self.assertEqual(state["client"], [780, 300])
        controls = state["controls"]
        self.assertEqual(controls["buttonErrorExit"]["rect"], [594, 219, 744, 264])
        label, link = controls["labelError"]["rect"], controls["linkLabelError"]["rect"]
        self.assertEqual(link[2], label[2] - 15)
        self.assertGreater(link[1], label[3])


class StartupInputsTest(FrontEndCase):
    def test_campaign_file_missing_empty_or_present_and_a_missing_icon_let_the_run_go_on(self):
        for name, campaign in [("missing", None), ("empty", b""), ("present", CAMPAIGN)]:
            with self.subTest(campaign=name):
                # Without a campaign file the icon is missing too: a warning, no more.
                folder = fe.stage(self.folder(f"campaign-{name}"), CONFIG, campaign, icon=campaign is not None)
                run = self.start(folder)
                run.wait_page("tabDownload")
                if campaign is None:
                    run.screenshot("download-without-icon-en-US")
                self.assertCancelsDownload(run)
                icon = f"Could not load the icon file '{bench.z_path(folder / 'icon.ico')}'. Error code 2."
                warned = [] if campaign is not None else [("warning", icon)]
                others = [m for m in run.messages() if m[0] != "information" and m not in CANCEL_WARNINGS]
                self.assertEqual(others, warned)


class ErrorPageTest(FrontEndCase):
    def setUp(self):
        URL_RECORD.unlink(missing_ok=True)

    def test_deprecated_configuration_shows_the_outdated_page(self):
        folder = fe.stage(self.folder(), DEPRECATED)
        for locale, culture, table in [("en_US.UTF-8", "en-US", "en"), ("de_DE.UTF-8", "de-DE", "de"),
                                       ("ja_JP.UTF-8", "ja-JP", "ja")]:
            with self.subTest(culture=culture):
                texts = fe.strings(table)
                run = self.start(folder, locale=locale)
                state = run.wait_page("tabError")
                run.screenshot(f"error-outdated-{culture}")
                controls = state["controls"]
                self.assertEqual(controls["labelError"]["text"], texts["errorOutdated"])
                self.assertEqual(controls["linkLabelError"]["text"], texts["errorOutdated_link"])
                self.assertTrue(controls["linkLabelError"]["visible"])
                self.assertTrue(controls["buttonErrorExit"]["visible"])
                # The link ends 10 units left of the error label's right edge, below its text.
                label, link = controls["labelError"]["rect"], controls["linkLabelError"]["rect"]
                self.assertEqual(link[2], label[2] - 10)
                self.assertGreater(link[1], label[3])
                run.press("buttonErrorExit")
                self.assertEqual(run.wait_exit(), -1)
                messages = run.messages()
                self.assertIn(("error", "Error: Remote config suggests this installer is deprecated."), messages)
                self.assertEqual(messages[-3:], [("information", "Exiting application with return code -1"),
                                                 ("information", "Running cleanup."),
                                                 ("information", "Exit complete")])
                self.assertNotIn("Starting client download.", [m for _, m in messages])
        self.assertFalse(URL_RECORD.exists())

    def test_configuration_that_is_not_json_shows_the_connection_page_with_its_path(self):
        folder = fe.stage(self.folder(), b"<html><body>maintenance</body></html>")
        texts = fe.strings("en")
        run = self.start(folder)
        state = run.wait_page("tabError")
        run.screenshot("error-connection-en-US")
        self.assertEqual(state["controls"]["labelError"]["text"], texts["errorConnection"])
        self.assertEqual(state["controls"]["linkLabelError"]["text"], texts["errorConnection_link"])
        run.press("linkLabelError")
        self.assertEqual(run.wait_exit(), -1)
        config = bench.z_path(folder / "remoteconfig.json")
        messages = run.messages()
        errors = [m for level, m in messages if level == "error"]
        self.assertEqual(len(errors), 2, messages)
        self.assertTrue(errors[0].startswith("Error reading remote config: [json.exception.parse_error.101]"))
        self.assertEqual(errors[1], f"Error: Getting json remote config: {config}")
        # The link opened its support article: the shell started the handler before the
        # front end ended, and the handler writes the address down in its own time.
        for _ in range(100):
            if URL_RECORD.exists() and URL_RECORD.read_text(encoding="utf-8").endswith("\n"):
                break
            time.sleep(0.1)
        self.assertEqual(URL_RECORD.read_text(encoding="utf-8").splitlines(), [texts["errorConnection_url"]])


class ScreenReaderAndKeyboardTest(FrontEndCase):
    def setUp(self):
        URL_RECORD.unlink(missing_ok=True)

    def test_download_page_reads_and_escape_asks_as_the_close_box(self):
        run = self.start(fe.stage(self.folder(), CONFIG, CAMPAIGN))
        run.wait_page("tabDownload")
        for _ in range(20):  # the size label fills within its first second, the total once the headers came
            rows = run.probe()["controls"]
            if rows["labelDownloadSize"][0] and rows["labelDownloadSize"][0] == rows["progressBarDownload"][0]:
                break
        self.assertProbes(run, "tabDownload")
        run.show_page("tabDone")
        self.assertProbes(run, "tabDone", shown=False)
        run.show_page("tabDownload")
        self.assertCancelsDownload(run, ask=lambda: run.key("escape"))

    def test_error_page_tab_moves_return_follows_escape_exits_alt_f4_closes(self):
        folder = fe.stage(self.folder(), DEPRECATED)
        cases = [  # keys, focus after each, exit code, link followed
            (["tab", "tab", "return"], ["linkLabelError", "buttonErrorExit"], -1, False),
            (["tab", "return"], ["linkLabelError"], -1, True),
            (["escape"], [], -1, False),
            (["alt-f4"], [], 0, False),
        ]
        for keys, focus, code, followed in cases:
            with self.subTest(keys=keys):
                URL_RECORD.unlink(missing_ok=True)
                run = self.start(folder)
                run.wait_page("tabError")
                self.assertProbes(run, "tabError")
                for key, expected in zip(keys, focus + [None]):
                    run.key(key)
                    if expected:
                        self.assertEqual(run.probe()["focus"], expected)
                self.assertEqual(run.wait_exit(), code)
                for _ in range(50 if followed else 0):  # the browser stand-in may write after the exit
                    if URL_RECORD.exists():
                        break
                    time.sleep(0.2)
                self.assertEqual(URL_RECORD.exists(), followed)


class HighContrastTest(FrontEndCase):
    """A high-contrast scheme set in the prefix: every colour of the window is the scheme's."""
    SCHEME = {"Window": "0 0 0", "WindowText": "255 255 0", "ButtonFace": "0 0 0", "ButtonText": "255 255 0",
              "Hilight": "0 255 0", "HighlightText": "0 0 0", "HotTrackingColor": "0 255 255",
              "ButtonHilight": "255 0 255", "ButtonLight": "255 0 255", "ButtonShadow": "128 0 128",
              "ButtonDkShadow": "128 0 128", "WindowFrame": "255 0 0"}

    def test_pages_take_their_colours_from_the_scheme(self):
        colours = [(r"HKCU\Control Panel\Colors", name, value, "REG_SZ") for name, value in self.SCHEME.items()]
        # Windows draws without visual styles under a high-contrast scheme; Wine knows no
        # such scheme (it never reports one on), so its theme is switched off by hand.
        colours.append((r"HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager", "ThemeActive", "0", "REG_SZ"))
        with bench.registry_values(colours):
            for config, pages in [(CONFIG, ["tabDownload", "tabDone", "tabInit"]), (DEPRECATED, ["tabError"])]:
                run = self.start(fe.stage(self.folder(), config))
                run.wait_page(pages[0])
                for page in pages:
                    run.show_page(page)
                    colours = self.client_colours(run, run.screenshot(f"high-contrast-{page}"))
                    self.assertEqual(colours.most_common(1)[0][0], (0, 0, 0), page)
                    self.assertNotIn((255, 255, 255), colours, page)  # no light theme's window
                self.end(run, config)

    def client_colours(self, run, png):
        state, focus = run.state(), run.probe()["focus"]
        width, height = state["client"]
        pixels, frame_width, frame_height = fe.png_pixels(png)
        left = (frame_width - width) // 2
        top = frame_height - height - left
        # A focus rectangle is drawn inverted, whatever the scheme: the focused button's or
        # link's inside is not counted.
        x0, y0, x1, y1 = state["controls"][focus]["rect"] if focus.startswith(("button", "link")) else [0] * 4
        return collections.Counter(pixels[top + y][left + x] for y in range(height) for x in range(width)
                                   if not (x0 < x < x1 - 1 and y0 < y < y1 - 1))


class LargeTextTest(ScaledDisplayCase):
    """The display at 200 % with the longest translations: nothing cut, nothing overlaps."""
    LOG_PIXELS = 192

    def test_every_page_is_readable_at_200_percent(self):
        for locale in ["de_DE.UTF-8", "pt_BR.UTF-8", "ru_RU.UTF-8", "ja_JP.UTF-8"]:
            for config, pages in [(CONFIG, ["tabDownload", "tabDone", "tabInit"]), (DEPRECATED, ["tabError"])]:
                with self.subTest(locale=locale, page=pages[0]):
                    run = self.start(fe.stage(self.folder(), config), locale=locale)
                    self.assertEqual(run.wait_page(pages[0])["dpi"], 192)
                    for page in pages:
                        run.show_page(page)
                        self.assertReadable(run)
                        run.screenshot(f"{page}-{locale.split('.')[0]}-200")
                    self.end(run, config)


class HeldReportService:
    """Plays the problem-report service over plain HTTP on loopback: takes each report
    at once, answers it only once released."""

    def __init__(self):
        self.reports = []
        self.released = threading.Event()
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                service.reports.append(self.rfile.read(int(self.headers.get("Content-Length", 0))))
                service.released.wait(timeout=120)
                self.send_response(200)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.host = f"127.0.0.1:{self.httpd.server_address[1]}"

    def stop(self):
        self.released.set()
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)


class SlowReportServiceTest(FrontEndCase):
    def test_window_answers_while_a_report_is_posted(self):
        service = HeldReportService()
        self.addCleanup(service.stop)
        folder = fe.stage(self.folder(), DEPRECATED, program=fe.TEST_HOST_FRONT_END)
        run = self.start(folder, env={"KELVRA_TEST_REPORT_HOST": service.host})
        self.assertEqual(run.unanswered_polls(5), 0)
        # The report was under way, unanswered, all that time.
        self.assertEqual(len(service.reports), 1)
        self.assertIn(b"deprecated", service.reports[0])
        service.released.set()
        run.wait_page("tabError")
        run.press("buttonErrorExit")
        self.assertEqual(run.wait_exit(), -1)
        messages = run.messages()
        self.assertIn(("information", f"Sending error to {service.host}: "
                       "Remote config suggests this installer is deprecated."), messages)
        self.assertFalse([m for _, m in messages if m.startswith("Sending error failed")])

    def test_closing_while_a_failed_download_is_reported_keeps_the_failure(self):
        service = HeldReportService()
        self.addCleanup(service.stop)
        folder = fe.stage(self.folder(), remote_config(_download_server.url("missing"), "0" * 32),
                          program=fe.TEST_HOST_FRONT_END)
        # Events go to a closed port: they are logged, and fail at once.
        run = self.start(folder, env={"KELVRA_TEST_REPORT_HOST": service.host,
                                      "KELVRA_TEST_TELEMETRY_HOST": f"127.0.0.1:{https_server.closed_port()}"})
        self.addCleanup(service.released.set)
        for _ in range(200):
            if service.reports:
                break
            time.sleep(0.1)
        self.assertEqual(len(service.reports), 1)
        # The download's failure is being reported, unanswered: now the user closes and confirms.
        unanswered = run.start_polls(5)
        watcher = bench.wine_background([bench.BIN / "notice_watcher.exe", bench.z_path(WORK / "question.json"),
                                         10000, IDYES])
        run.close()
        watcher.wait(timeout=60)
        self.assertEqual(unanswered(), 0)
        service.released.set()
        if fe.driver("wait-page", "tabError", 10000)[0] == 0:
            fe.driver("press", "buttonErrorExit")
        self.assertNotEqual(run.wait_exit(), 2)
        self.assertEqual(len(service.reports), 1)
        self.assertIn(b"missing", service.reports[0])
        self.assertFalse([m for _, m in run.messages() if "kelvra_download_cancelled" in m])


class HeldResponses(dict):
    """Responses for the config server, by request path; get() waits while held."""

    def __init__(self, responses):
        super().__init__(responses)
        self.released = threading.Event()
        self.released.set()

    def get(self, key, default=None):
        self.released.wait(timeout=60)
        return super().get(key, default)


class DownloadedConfigurationTest(FrontEndCase):
    """No remoteconfig.json beside the front end: it asks the service itself."""

    @classmethod
    def setUpClass(cls):
        cls.certificates = cls.enterClassContext(bench.trusted_certificates(WORK / "certificates"))
        cls.responses = HeldResponses({
            CONFIG_PATH: (200, json.dumps(CONFIG).encode()),
            "/components/webinstaller/clients/1234?component_version=2.0.0": (200, json.dumps(DEPRECATED).encode()),
        })
        cls.server = https_server.ConfigServer(cls.certificates.server, cls.responses)
        cls.stranger = https_server.ConfigServer(cls.certificates.stranger, cls.responses)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.stranger.stop()

    def setUp(self):
        self.server.requests.clear()
        self.stranger.requests.clear()

    def start_against(self, server, args=(), waits=None):
        folder = fe.stage(self.folder(), None, CAMPAIGN, program=fe.TEST_HOST_FRONT_END)
        return self.start(folder, args, env={"KELVRA_TEST_CONFIG_HOST": f"localhost:{server.port}", **(waits or {})})

    def test_configuration_is_downloaded_from_the_service(self):
        self.responses.released.clear()
        try:
            run = self.start_against(self.server)
            # The window shows its initialisation page, busy, while the answer is awaited.
            state = run.wait_page("tabInit")
            run.screenshot("init-en-US")
            self.assertEqual(state["controls"]["labelWelcome"]["text"], fe.strings("en")["labelWelcome"])
            self.assertTrue(state["controls"]["progressBarInit"]["visible"])
            self.assertTrue(state["controls"]["progressBarInit"]["marquee"])
            # The service holds its answer; the window answers throughout.
            self.assertEqual(run.unanswered_polls(5), 0)
            self.assertEqual(self.server.requests, [CONFIG_PATH])
        finally:
            self.responses.released.set()
        run.wait_page("tabDownload")
        self.assertCancelsDownload(run)
        address = f"https://localhost:{self.server.port}{CONFIG_PATH}"
        messages = run.messages()
        self.assertIn(("warning", "Bootstrap did not dropped remote config, trying to download"), messages)
        self.assertIn(("information", f"remote config source: {address}"), messages)
        self.assertEqual(self.server.requests, [CONFIG_PATH])

    def test_closing_while_the_configuration_is_awaited_asks_and_cancels(self):
        self.responses.released.clear()
        self.addCleanup(self.responses.released.set)
        # Wine's WinHTTP ends no receive when its request is closed, as the cancel does:
        # the worker hands back after the receive time-out, the test build's 20 s here.
        run = self.start_against(self.server, waits={"KELVRA_TEST_RECEIVE_TIMEOUT_MS": "20000"})
        run.wait_page("tabInit")
        self.assertEqual(run.unanswered_polls(2), 0)
        self.assertCancelsDownload(run)
        # The run ended while the service still held its answer: the request was given up.
        self.assertFalse(self.responses.released.is_set())
        self.assertEqual(self.server.requests, [CONFIG_PATH])
        address = f"https://localhost:{self.server.port}/components/webinstaller"
        self.assertIn(("information", f"HTTP GET {address} direct."), run.messages())
        messages = [m for m in run.messages()
                    if not m[1].startswith(("Events are not sent", "Problem reports", *NETWORK_LINES))]
        asked = messages.index(("warning", "Bootstrap did not dropped remote config, trying to download"))
        self.assertEqual(messages[asked + 1:], CANCEL_ENDING)

    def test_initialisation_page_reads_and_escape_asks_as_the_close_box(self):
        self.responses.released.clear()
        self.addCleanup(self.responses.released.set)
        run = self.start_against(self.server, waits={"KELVRA_TEST_RECEIVE_TIMEOUT_MS": "20000"})
        run.wait_page("tabInit")
        self.assertProbes(run, "tabInit")
        self.assertCancelsDownload(run, ask=lambda: run.key("escape"))

    def test_with_a_product_id_the_product_is_asked_for(self):
        run = self.start_against(self.server, ["1234", "Kelvra Quest"])
        state = run.wait_page("tabError")
        self.assertEqual(state["controls"]["labelError"]["text"], fe.strings("en")["errorOutdated"])
        self.assertClosesWith(run, 0)
        self.assertEqual(self.server.requests, ["/components/webinstaller/clients/1234?component_version=2.0.0"])

    def test_a_server_without_a_trusted_certificate_is_never_asked(self):
        run = self.start_against(self.stranger)
        state = run.wait_page("tabError")
        self.assertEqual(state["controls"]["labelError"]["text"], fe.strings("en")["errorConnection"])
        self.assertClosesWith(run, 0)
        self.assertEqual(self.stranger.requests, [])
        address = f"https://localhost:{self.stranger.port}{CONFIG_PATH}"
        self.assertIn(("error", f"Error: Getting json remote config: {address}"), run.messages())


if __name__ == "__main__":
    unittest.main()
