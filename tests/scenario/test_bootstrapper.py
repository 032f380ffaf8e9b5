"""The real InstallerBootstrapper.exe: log, single instance and working folder."""
import re
import shutil
import time
import unittest

import winebench as bench

LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"


def folder_name_for_second(second):
    """The name a run starting in that second chooses (the C runtime's generator)."""
    state = second & 0xFFFFFFFF
    name = ""
    for _ in range(5):
        state = (state * 214013 + 2531011) & 0xFFFFFFFF
        name += LETTERS[((state >> 16) & 0x7FFF) % 52]
    return "KelvraInstaller_" + name


class TemporaryFolderSetting:
    """Points the Windows user's TMP and TEMP at another folder for one run."""

    KEY = r"HKCU\Environment"

    def __init__(self, path):
        self.path = path

    def __enter__(self):
        # Looked up before the change: afterwards the prefix would report the new path.
        self.original = r"C:\users\{}\Temp".format(bench.temp_folder().parent.name)
        for name in ("TMP", "TEMP"):
            bench.registry_set(self.KEY, name, self.path)
        return self

    def __exit__(self, *exc):
        for name in ("TMP", "TEMP"):
            bench.registry_set(self.KEY, name, self.original)


class BootstrapperTest(unittest.TestCase):
    def test_first_run_creates_the_log_folder_and_cleans_up(self):
        shutil.rmtree(bench.DRIVE_C / "ProgramData" / "ZAVsoft", ignore_errors=True)
        run = bench.run_bootstrapper()
        self.assertEqual(run.code, 1)
        # The bench's prefix has no .NET Framework: the run ends at the requirements check.
        self.assertEqual(run.notice.caption if run.notice else None, ".NET Framework Not Found")
        self.assertTrue(bench.LOG_DIR.is_dir())
        lines = bench.LOG.read_bytes().split(b"\r\n")
        self.assertRegex(lines[0].decode(), r"^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[info\] "
                                            r"Initializing installer bootstrapper\.$")
        messages = run.messages
        self.assertEqual(messages[0], ("info", "Initializing installer bootstrapper."))
        cleaning = [m for level, m in messages if m.startswith("Cleaning temporary folder at [")]
        self.assertEqual(len(cleaning), 2)
        self.assertEqual(cleaning[0], cleaning[1])
        self.assertRegex(cleaning[0], r"\\KelvraInstaller_[A-Za-z]{5}\]\.$")
        self.assertEqual(messages[-1], ("info", cleaning[1]))
        self.assertEqual(bench.working_folders(), [])

    def test_second_copy_is_turned_away_without_logging(self):
        for locale, caption in (("en_US.UTF-8", "Installer Already Running"),
                                ("de_DE.UTF-8", "Installationsprogramm läuft bereits")):
            with self.subTest(locale=locale), bench.MutexHolder():
                before = bench.LOG.read_bytes() if bench.LOG.exists() else b""
                run = bench.run_bootstrapper(locale=locale)
                self.assertEqual(run.code, 1)
                self.assertIsNotNone(run.notice)
                self.assertEqual(run.notice.caption, caption)
                self.assertEqual(run.log_lines, [])
                after = bench.LOG.read_bytes() if bench.LOG.exists() else b""
                self.assertEqual(before, after)
        # Once the other copy has gone, a run goes ahead normally.
        self.assertIn(("info", "Initializing installer bootstrapper."), bench.run_bootstrapper().messages)

    def test_leftover_folder_of_the_same_name_is_removed_with_its_content(self):
        start = int(time.time())
        planted = []
        for second in range(start, start + 6):
            folder = bench.temp_folder() / folder_name_for_second(second)
            (folder / "de").mkdir(parents=True, exist_ok=True)
            (folder / "de" / "KelvraWebInstaller.resources.dll").write_bytes(b"MZ")
            (folder / "remoteconfig.json").write_text("{}")
            planted.append(folder)
        try:
            run = bench.run_bootstrapper()
            cleaning = [m for _, m in run.messages if m.startswith("Cleaning temporary folder at [")]
            chosen = re.search(r"\\(KelvraInstaller_[A-Za-z]{5})\]", cleaning[0]).group(1)
            self.assertIn(chosen, [p.name for p in planted], "the name follows the C runtime's generator")
            self.assertFalse((bench.temp_folder() / chosen).exists())
            self.assertEqual([m for _, m in run.messages if "remove temporary folder" in m], [])
            self.assertEqual(run.code, 1)
        finally:
            for folder in planted:
                shutil.rmtree(folder, ignore_errors=True)

    def test_over_long_temporary_folder_is_refused_without_deleting_anything(self):
        parent = bench.DRIVE_C / "t"
        long_folder = parent / ("x" * 236)
        long_folder.mkdir(parents=True, exist_ok=True)
        windows_long = "C:\\t\\" + "x" * 236 + "\\"
        # A folder that a shortened working folder path could name.
        bystander = long_folder / "KelvraInstaller_"
        bystander.mkdir(exist_ok=True)
        (bystander / "keep.txt").write_text("not ours")
        try:
            with TemporaryFolderSetting(windows_long):
                run = bench.run_bootstrapper()
            self.assertEqual(run.code, 1)
            self.assertIsNotNone(run.notice)
            self.assertEqual(run.notice.caption, "Installation Error")
            self.assertTrue((bystander / "keep.txt").exists())
            errors = [m for level, m in run.messages if level == "error"]
            # An exe without a token trailer logs two token errors first.
            self.assertEqual(len(errors), 3, run.messages)
            self.assertTrue(errors[0].startswith("Wrong value of header, ["), errors[0])
            self.assertEqual(errors[1], "Failed at reading token.")
            self.assertTrue(errors[2].startswith("Working folder path ["), errors[2])
            self.assertFalse(any(m.startswith("Cleaning temporary folder") for _, m in run.messages))
        finally:
            shutil.rmtree(parent, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
