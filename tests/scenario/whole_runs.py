"""What the whole runs of the bootstrapper under Wine share (test_end_to_end.py,
test_hostile_inputs.py, test_installation.py): test builds whose resource 129 is the
stand-in front end (tests/tools/standin_frontend.cpp), told through KELVRA_STANDIN_*
variables how to end; .NET Framework 4.8 registered for a whole class; each run in a
current directory of its own holding a local remote configuration, so that no run
needs the network; and the checks of what a run leaves behind.
"""
import contextlib
import hashlib
import re
import shutil
import subprocess
import unittest

import winebench as bench
from winebench import drive_c_path

STAGED = bench.BUILD / "staged"
STANDIN = bench.BIN / "standin_frontend.exe"
WITH_STANDIN = bench.BIN / "InstallerBootstrapperWithStandin.exe"
E2E = bench.DRIVE_C / "e2e"

CULTURES = ("pt-BR", "zh", "fr", "de", "pl", "ru", "zh-Hant", "ja", "ko", "es", "es-MX", "it")
CONFIG = (b'<configuration>\n<startup>\n<supportedRuntime version = "v4.0"/>\n'
          b'<supportedRuntime version = "v2.0.50727"/>\n</startup>\n</configuration>\n')
REMOTE_CONFIG = b'{"content":{"windows":{"version":"2.0.1","url":"https://127.0.0.1/setup.exe"}}}'
NDP = r"HKLM\Software\Microsoft\NET Framework Setup\NDP"
NET_4 = NDP + r"\v4\Full"
CLIENT_KEYS = (r"HKLM\Software\ZAVsoft", r"HKLM\Software\WOW6432Node\ZAVsoft")

SUCCEEDED = ("info", "Looks like installation of ZAV Kelvra 2.0 succeeded.")
CLEANING = re.compile(r"^Cleaning temporary folder at \[(.*)\]\.$")
CREATED = re.compile(r"^Created working folder \[(.*)\]\.$")
LAUNCH = re.compile(r"^Executing installer\. Path \[(.*)\], params \[(.*)\]\.$")


def digests(folder):
    """Every file under folder, by its path relative to it, as a SHA-256 digest."""
    return {path.relative_to(folder).as_posix(): hashlib.sha256(path.read_bytes()).hexdigest()
            for path in sorted(folder.rglob("*")) if path.is_file()}


def end_leftover_processes():
    """After a time-out: the bootstrapper builds and the staged front end, by image name,
    so that the next test finds neither the mutex nor a working folder in use."""
    names = {path.name for path in bench.BIN.glob("InstallerBootstrapper*.exe")} | {"KelvraInstaller.exe"}
    for name in sorted(names):
        bench.wine(["taskkill", "/f", "/im", name], timeout=60)


def register_framework_4_8():
    bench.registry_delete_key(NDP)
    bench.registry_set(NET_4, "Release", 528040, "REG_DWORD")


def prepare_prefix_for_runs(test_class):
    """For a test class: .NET Framework 4.8 registered and the client's keys free to
    change, all put back when the class ends."""
    # Read before any test points TMP elsewhere.
    bench.temp_folder()
    test_class.enterClassContext(bench.registry_key_restored(NDP))
    for key in CLIENT_KEYS:
        test_class.enterClassContext(bench.registry_key_restored(key))
    register_framework_4_8()


class RunBench(unittest.TestCase):
    """What every whole-run test needs: .NET registered, no client, a current directory
    with a local remote configuration, and checks of what a run leaves behind."""

    @classmethod
    def setUpClass(cls):
        prepare_prefix_for_runs(cls)

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        with contextlib.suppress(OSError):
            E2E.rmdir()

    def setUp(self):
        self.folder = E2E / self._testMethodName
        shutil.rmtree(self.folder, ignore_errors=True)
        self.cwd = self.folder / "cwd"
        self.cwd.mkdir(parents=True)
        (self.cwd / "remoteconfig.json").write_bytes(REMOTE_CONFIG)
        self.addCleanup(shutil.rmtree, self.folder, True)
        for key in CLIENT_KEYS:
            bench.registry_delete_key(key)
        self.report_file = self.folder / "report.txt"
        self.staged = self.folder / "staged"
        self.client = self.folder / "client"

    # -- running -----------------------------------------------------------------

    def standin(self, exit_code="0", copy=False, client_layout=None, wait_for=None):
        """The stand-in's orders: always a report, the rest on request."""
        env = {"KELVRA_STANDIN_EXIT_CODE": exit_code, "KELVRA_STANDIN_REPORT": drive_c_path(self.report_file)}
        if copy:
            env["KELVRA_STANDIN_COPY_TO"] = drive_c_path(self.staged)
        if client_layout:
            env["KELVRA_STANDIN_CLIENT_FOLDER"] = drive_c_path(self.client)
            env["KELVRA_STANDIN_CLIENT_LAYOUT"] = client_layout
        if wait_for:
            env["KELVRA_STANDIN_WAIT_FOR"] = drive_c_path(wait_for)
        return env

    def run_exe(self, exe=WITH_STANDIN, env=None, cwd=None, timeout=120, log=bench.LOG):
        """One run; afterwards self.left holds the working folders it left behind."""
        self.report_file.unlink(missing_ok=True)
        before = set(bench.working_folders())
        try:
            run = bench.run_bootstrapper(exe=exe, env=env, cwd=cwd or self.cwd, timeout=timeout, log=log)
        except subprocess.TimeoutExpired:
            end_leftover_processes()
            for folder in set(bench.working_folders()) - before:
                shutil.rmtree(folder, ignore_errors=True)
            raise
        self.left = set(bench.working_folders()) - before
        return run

    def report(self):
        seen = {}
        for line in self.report_file.read_text(encoding="utf-8").splitlines():
            key, _, value = line.partition("=")
            seen.setdefault(key, []).append(value)
        return seen

    # -- what every run past the working folder's name must leave ----------------

    def assert_cleaned_up(self, run):
        """Nothing left in the temporary folder, the cleaning line last and of the folder
        the run created; returns that working folder's Windows path."""
        self.assertEqual(self.left, set(), "a working folder outlived the run")
        messages = run.messages
        created = [CREATED.match(text).group(1) for _, text in messages if CREATED.match(text)]
        cleaned = [CLEANING.match(text).group(1) for _, text in messages if CLEANING.match(text)]
        self.assertEqual(len(created), 1, messages)
        self.assertEqual(cleaned, created, messages)
        self.assertEqual(messages[-1], ("info", f"Cleaning temporary folder at [{cleaned[0]}]."))
        return cleaned[0]

    def assert_staged(self, token=b"", campaign=None, remote_config=REMOTE_CONFIG, auth=None):
        """The working folder as the front end saw it, copied out by the stand-in."""
        expected = {
            "KelvraInstaller.exe": STANDIN,
            "KelvraInstaller.exe.config": CONFIG,
            "icon.png": bench.ROOT / "resources" / "icon.png",
            "icon.ico": bench.ROOT / "resources" / "application.ico",
            "payload.base64": token,
        }
        for culture in CULTURES:
            expected[f"{culture}/KelvraWebInstaller.resources.dll"] = (
                STAGED / culture / "KelvraWebInstaller.resources.dll")
        for name, content in (("payload.campaign", campaign), ("remoteconfig.json", remote_config),
                              ("zavKelvra.auth", auth)):
            if content is not None:
                expected[name] = content
        expected = {name: hashlib.sha256(content if isinstance(content, bytes) else content.read_bytes()).hexdigest()
                    for name, content in expected.items()}
        self.assertEqual(digests(self.staged), dict(sorted(expected.items())))
