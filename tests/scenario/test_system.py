"""The system requirements as Wine's Windows versions and the prefix's registry present them.

The check runs on its own in requirements_check.exe, which gets the Windows version
set for it alone; the real InstallerBootstrapper.exe shows that a refusal ends the run.
"""
import os
import time
import unittest

import winebench as bench

CHECK = bench.BIN / "requirements_check.exe"
FRAMEWORK_SETUP = r"HKLM\Software\Microsoft\NET Framework Setup"
NDP = FRAMEWORK_SETUP + r"\NDP"
V35 = NDP + r"\v3.5"
V4_FULL = NDP + r"\v4\Full"
NT_VERSION = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
# Windows 7 as it was before Service Pack 1: Wine has no version name for it, but
# takes the version from these values when nothing names one.
WINDOWS_7_SP0 = [(NT_VERSION, "CSDVersion", "", "REG_SZ"),
                 (NT_VERSION, "CurrentBuildNumber", "7600", "REG_SZ"),
                 (NT_VERSION, "CurrentBuild", "7600", "REG_SZ"),
                 (r"HKLM\System\CurrentControlSet\Control\Windows", "CSDVersion", 0, "REG_DWORD")]

WINDOWS_WARNING = ("warning", "Windows 7 or later not found - system not suitable for Kelvra install.")
NET_WARNING = ("warning", ".NET framework not found - system not suitable for Kelvra install.")
FULFILLED = ("info", "System fulfills Kelvra requirements.")
OPEN_35 = ("warning", r"Failed to open registry key [Software\Microsoft\NET Framework Setup\NDP\v3.5]. Error code 2.")
OPEN_4 = ("warning", r"Failed to open registry key [Software\Microsoft\NET Framework Setup\NDP\v4\Full]. Error code 2.")
QUERY_4 = ("warning",
           r"Failed to query registry key [Software\Microsoft\NET Framework Setup\NDP\v4\Full]. Error code 2.")
UNSUPPORTED = {"en_US.UTF-8": "This Version of Windows is Not Supported",
               "de_DE.UTF-8": "Diese Version von Windows wird nicht unterstützt.",
               "pt_BR.UTF-8": "Esta versão do Windows não é suportada"}
NET_MISSING = {"en_US.UTF-8": ".NET Framework Not Found", "de_DE.UTF-8": ".NET Framework nicht gefunden"}


def install_frameworks(v35=None, release=None, v4_full_key=False):
    """Leaves exactly these .NET Framework entries under NDP."""
    bench.registry_delete_key(NDP)
    if v35 is not None:
        bench.registry_set(V35, "Install", v35, "REG_DWORD")
    if release is not None:
        bench.registry_set(V4_FULL, "Release", release, "REG_DWORD")
    elif v4_full_key:
        assert bench.wine(["reg", "add", V4_FULL, "/f"]).returncode == 0


def run_check(locale="en_US.UTF-8"):
    """(exit code, notice, log messages) of the check on its own."""
    log = bench.STATE / f"requirements-{os.getpid()}-{time.monotonic_ns()}.log"
    code, notice, _ = bench.run_with_notice_watch([CHECK, bench.z_path(log)], locale=locale, timeout=60)
    messages = []
    if log.exists():
        messages = bench.messages(log.read_text(encoding="utf-8").splitlines())
        log.unlink()
    return code, notice, messages


class RequirementsTest(unittest.TestCase):
    def setUp(self):
        self.enterContext(bench.registry_key_restored(FRAMEWORK_SETUP))

    def test_windows_version_decides_before_any_registry_access(self):
        install_frameworks(release=528040)
        cases = [
            ("winxp", "en_US.UTF-8", False),
            ("vista", "de_DE.UTF-8", False),
            ("vista", "pt_BR.UTF-8", False),
            ("win7", "en_US.UTF-8", True),
            ("win10", "en_US.UTF-8", True),
        ]
        for version, locale, suitable in cases:
            with self.subTest(version=version, locale=locale), bench.windows_version(CHECK.name, version):
                code, notice, messages = run_check(locale)
                if suitable:
                    self.assertEqual((code, notice), (0, None))
                    self.assertEqual(messages, [OPEN_35])
                else:
                    self.assertEqual(code, 1)
                    self.assertIsNotNone(notice)
                    self.assertEqual(notice.caption, UNSUPPORTED[locale])
                    self.assertEqual(messages, [WINDOWS_WARNING])

    def test_windows_7_without_service_pack_is_refused(self):
        install_frameworks(release=528040)
        with bench.registry_values(WINDOWS_7_SP0):
            code, notice, messages = run_check()
        self.assertEqual(code, 1)
        self.assertIsNotNone(notice)
        self.assertEqual(notice.caption, UNSUPPORTED["en_US.UTF-8"])
        self.assertEqual(messages, [WINDOWS_WARNING])
        # The same prefix with its service pack back is accepted.
        self.assertEqual(run_check()[0], 0)

    def test_missing_framework_is_refused_with_its_notice(self):
        # Which values pass is unit-tested; here, what the user and the log get.
        cases = [
            ("just below 4.5", dict(release=378388), "en_US.UTF-8", [OPEN_35, NET_WARNING]),
            ("Install 0 without Release", dict(v35=0, v4_full_key=True), "en_US.UTF-8", [QUERY_4, NET_WARNING]),
            ("4.0 only", dict(v4_full_key=True), "de_DE.UTF-8", [OPEN_35, QUERY_4, NET_WARNING]),
            ("none", dict(), "en_US.UTF-8", [OPEN_35, OPEN_4, NET_WARNING]),
        ]
        for name, frameworks, locale, lines in cases:
            with self.subTest(name):
                install_frameworks(**frameworks)
                code, notice, messages = run_check(locale)
                self.assertEqual(messages, lines)
                self.assertEqual(code, 1)
                self.assertIsNotNone(notice)
                self.assertEqual(notice.caption, NET_MISSING[locale])


class RefusedRunTest(unittest.TestCase):
    """A refusal ends the real run: nothing after the check, the working folder removed."""

    def check_refused(self, run, caption, lines):
        self.assertEqual(run.code, 1)
        self.assertIsNotNone(run.notice)
        self.assertEqual(run.notice.caption, caption)
        messages = run.messages
        self.assertEqual(messages[-1 - len(lines):-1], lines)
        self.assertTrue(messages[-1][1].startswith("Cleaning temporary folder at ["), messages[-1])
        self.assertNotIn(FULFILLED, messages)
        self.assertEqual(bench.working_folders(), [])

    def test_old_windows_ends_the_run_without_reading_the_registry(self):
        with bench.registry_key_restored(FRAMEWORK_SETUP), bench.windows_version(bench.BOOTSTRAPPER.name, "vista"):
            install_frameworks(release=528040)
            run = bench.run_bootstrapper(locale="de_DE.UTF-8")
        self.check_refused(run, UNSUPPORTED["de_DE.UTF-8"], [WINDOWS_WARNING])
        self.assertFalse(any("registry key" in message for _, message in run.messages), run.messages)

    def test_missing_framework_ends_the_run(self):
        with bench.registry_key_restored(FRAMEWORK_SETUP):
            install_frameworks()
            run = bench.run_bootstrapper()
        self.check_refused(run, NET_MISSING["en_US.UTF-8"], [OPEN_35, OPEN_4, NET_WARNING])


if __name__ == "__main__":
    unittest.main()
