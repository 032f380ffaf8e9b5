"""The real InstallerBootstrapper.exe: log, single instance and working folder."""
import os
import re
import shutil
import time
import unittest

import winebench as bench

TWO_DAYS = 2 * 24 * 60 * 60


def plant_leftover(name, age=TWO_DAYS):
    """A working folder as a killed run leaves it, last changed age seconds ago."""
    folder = bench.temp_folder() / name
    (folder / "de").mkdir(parents=True)
    (folder / "de" / "KelvraWebInstaller.resources.dll").write_bytes(b"MZ")
    (folder / "payload.base64").write_text("token")
    then = time.time() - age
    os.utime(folder, (then, then), follow_symlinks=False)
    return folder


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
        created = [m for level, m in messages if m.startswith("Created working folder [")]
        cleaning = [m for level, m in messages if m.startswith("Cleaning temporary folder at [")]
        self.assertEqual(len(created), 1)
        self.assertEqual(len(cleaning), 1)
        self.assertEqual(created[0][len("Created working folder"):], cleaning[0][len("Cleaning temporary folder at"):])
        self.assertRegex(cleaning[0], r"\\KelvraInstaller_[A-Za-z]{5}\]\.$")
        self.assertEqual(messages[-1], ("info", cleaning[0]))
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

    def test_leftovers_older_than_a_day_are_removed_and_newer_ones_kept(self):
        old = plant_leftover("KelvraInstaller_oldAa")
        new = plant_leftover("KelvraInstaller_newAa", age=60)
        self.addCleanup(shutil.rmtree, new, True)
        self.addCleanup(shutil.rmtree, old, True)
        run = bench.run_bootstrapper()
        self.assertFalse(old.exists())
        self.assertTrue((new / "payload.base64").exists())
        windows_temp = "C:\\" + str(bench.temp_folder().relative_to(bench.DRIVE_C)).replace("/", "\\")
        sweep = [(level, m) for level, m in run.messages if "leftover working folder" in m]
        self.assertEqual(sorted(sweep), [("info", f"Left leftover working folder [{windows_temp}\\{new.name}]: it is "
                                                  f"less than a day old."),
                                         ("info", f"Removed leftover working folder [{windows_temp}\\{old.name}].")])
        created = [m for _, m in run.messages if m.startswith("Created working folder [")]
        self.assertEqual(len(created), 1)
        self.assertNotIn(old.name, created[0])
        self.assertNotIn(new.name, created[0])
        self.assertEqual(run.code, 1)

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
