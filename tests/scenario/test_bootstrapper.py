"""The real InstallerBootstrapper.exe: log, single instance and working folder."""
import shutil
import unittest

import winebench as bench
from winebench import plant_leftover


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
            with self.subTest(locale=locale), bench.mutex_held():
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
        windows_temp = bench.drive_c_path(bench.temp_folder())
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
            with bench.temporary_folder(windows_long):
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
