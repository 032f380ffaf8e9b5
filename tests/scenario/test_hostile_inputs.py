"""Whole runs of the bootstrapper under Wine with what a hostile or unusual machine
hands it: temporary folders at and past the path limit, names outside ASCII, a
working folder name someone else took first, files other programs keep locked,
remote configurations at the read limit and token trailers with any size field.

Each run uses the stand-in front end of whole_runs.py, so that what was staged
can be compared byte for byte.
"""
import os
import re
import shutil
import struct
import time
import unittest

import winebench as bench
from whole_runs import CLEANING, LAUNCH, REMOTE_CONFIG, SUCCEEDED, WITH_STANDIN, RunBench
from winebench import TWO_DAYS, drive_c_path, plant_leftover, temporary_folder

FAILED_CONFIG = ("info", "Due to failure in getting allowed version from remote config, setting allowed Kelvra "
                         "version to 0.0.0.")
TRAILER_SIZE = 10240
SHARED_LOG = "C:\\ProgramData\\ZAVsoft\\Kelvra\\logs\\InstallerBootstrapper.log"


def document_of_size(size):
    """A remote configuration of exactly size bytes whose version is 4.5.6, padded
    with spaces inside the outer object, so that its last byte closes it."""
    head, tail = b'{"content":{"windows":{"version":"4.5.6"}}', b"}"
    return head + b" " * (size - len(head) - len(tail)) + tail


def stamped_with_size_field(source, target, size, token=b""):
    """A copy of source with a trailer whose size field says size, written by hand as
    a damaged or hostile copy would carry it."""
    body = token + bytes(TRAILER_SIZE - 8 - len(token))
    target.write_bytes(source.read_bytes() + b"ZAV\xff" + struct.pack("<i", size) + body)


class HostileInputTest(RunBench):
    def successful_run(self, **kwargs):
        """A run that stages, launches the stand-in, finds the client and leaves nothing."""
        env = self.standin("0", copy=True, client_layout="32")
        run = self.run_exe(env=env, **kwargs)
        # A run that ends before its log exists says why only through its notice.
        self.assertEqual(run.code, 0, (run.messages, run.notice))
        self.assertIsNone(run.notice)
        folder = self.assert_cleaned_up(run)
        self.assertEqual(run.messages[-2], SUCCEEDED)
        return run, folder

    def assert_refused_before_staging(self, run, last_error):
        """The installation-error notice, nothing staged or started, last_error the last line."""
        self.assertEqual(run.code, 1)
        self.assertIsNotNone(run.notice)
        self.assertEqual(run.notice.caption, "Installation Error")
        self.assertEqual(run.messages[-1], ("error", last_error))
        self.assertFalse(any(LAUNCH.match(text) for _, text in run.messages))
        self.assertFalse(self.report_file.exists(), "the front end was started")

    # -- the working folder ------------------------------------------------------------

    def test_folders_and_links_of_our_names_are_never_used_or_emptied(self):
        # Someone else's folder, reached through old links of working folder names and
        # through a link inside an old leftover: nothing in it is touched, neither link
        # is followed or removed, and the run stages into a folder of its own.
        theirs = self.folder / "theirs"
        (theirs / "sub").mkdir(parents=True)
        (theirs / "sub" / "keep.txt").write_text("not ours")
        link = bench.temp_folder() / "KelvraInstaller_linkA"
        os.symlink(theirs, link)
        self.addCleanup(link.unlink)
        leftover = plant_leftover("KelvraInstaller_holdA")
        self.addCleanup(shutil.rmtree, leftover, True)
        os.symlink(theirs, leftover / "de" / "inner")
        then = time.time() - TWO_DAYS
        for path in (link, leftover):
            os.utime(path, (then, then), follow_symlinks=False)

        run, folder = self.successful_run()

        self.assertNotIn(bench.unix_path(folder), (link, leftover))
        self.assertIn(("warning", f"Left leftover working folder [{drive_c_path(link)}]: it is a link to another "
                                  f"place."), run.messages)
        self.assertIn(("warning", f"Left leftover working folder [{drive_c_path(leftover)}]: "
                                  f"[{drive_c_path(leftover)}\\de\\inner] is a link to another place."), run.messages)
        self.assertTrue((theirs / "sub" / "keep.txt").exists())
        self.assertTrue(link.is_symlink())
        self.assertEqual((leftover / "payload.base64").read_text(), "token")
        self.assertTrue((leftover / "de" / "inner").is_symlink())

    def test_temporary_folder_that_does_not_exist_stops_the_run(self):
        missing = drive_c_path(self.folder / "no-such-folder")
        with temporary_folder(missing + "\\"):
            run = self.run_exe(env=self.standin())
        chosen = re.match(r"^Creating directory \[(.*)\] failed\.", run.messages[-1][1]).group(1)
        self.assertTrue(chosen.startswith(missing + "\\KelvraInstaller_"), chosen)
        self.assert_refused_before_staging(run, f"Creating directory [{chosen}] failed. Error code 3.")
        self.assertFalse(any(CLEANING.match(text) for _, text in run.messages))
        self.assertEqual(self.left, set())

    def test_temporary_folder_paths_at_and_past_the_limit(self):
        # TMP of "C:\e2e\<test>\t\xxx…", total lengths around what the working folder and
        # the files staged into it leave, and around MAX_PATH itself. The temporary path
        # gains a backslash, the working folder 21 characters more.
        root = self.folder / "t"
        prefix = drive_c_path(root) + "\\"

        def path_of_length(length):
            return prefix + "x" * (length - len(prefix))

        # A bystander that a shortened working folder path could name.
        longest = path_of_length(196)
        bystander = bench.unix_path(longest) / "KelvraInstaller_"
        bystander.mkdir(parents=True)
        (bystander / "keep.txt").write_text("not ours")

        with self.subTest("longest that fits"), temporary_folder(longest):
            shutil.rmtree(self.staged, ignore_errors=True)
            run, folder = self.successful_run()
            self.assertEqual(len(folder), 218)
            self.assert_staged()

        # Wine's GetTempPathW refuses a path that does not fit MAX_PATH with error 206
        # (Windows answers with the size needed); both end the run the same way.
        refusals = [(197, r"Working folder path \[.{219}\] is too long: \[219\] characters, at most \[218\]\."),
                    (259, r"Getting temporary path failed\. Error code 206\."),
                    (260, r"Getting temporary path failed\. Error code 206\."),
                    (400, r"Getting temporary path failed\. Error code 206\.")]
        for length, error in refusals:
            with self.subTest(length=length), temporary_folder(path_of_length(length)):
                run = self.run_exe(env=self.standin())
                self.assertEqual(run.code, 1)
                self.assertEqual(run.notice.caption if run.notice else None, "Installation Error")
                self.assertEqual(run.messages[-1][0], "error")
                self.assertRegex(run.messages[-1][1], "^" + error + "$")
                self.assertFalse(any(CLEANING.match(text) for _, text in run.messages))
                self.assertTrue((bystander / "keep.txt").exists())

    def test_names_outside_ascii_in_the_profile_and_the_current_directory(self):
        temp = bench.DRIVE_C / "users" / "Björn" / "AppData" / "Local" / "Temp"
        temp.mkdir(parents=True, exist_ok=True)
        self.addCleanup(shutil.rmtree, bench.DRIVE_C / "users" / "Björn", True)
        cwd = self.folder / "Фёдор" / "Загрузки 下载"
        cwd.mkdir(parents=True)
        (cwd / "remoteconfig.json").write_bytes(REMOTE_CONFIG)
        (cwd / "zavKelvra.auth").write_bytes("Фёдор's token".encode())

        with temporary_folder(drive_c_path(temp)):
            run, folder = self.successful_run(cwd=cwd)
        self.assertTrue(folder.startswith(drive_c_path(temp) + "\\KelvraInstaller_"), folder)
        self.assertEqual(list(temp.iterdir()), [])
        self.assertIn(("info", f"Token: copy result: [1], source path: [{drive_c_path(cwd)}\\zavKelvra.auth], "
                               f"target path: [{folder}\\zavKelvra.auth]"), run.messages)
        self.assert_staged(auth="Фёдор's token".encode())
        self.assertEqual(self.report()["currentDirectory"], [drive_c_path(cwd)])

    # -- the log folder ------------------------------------------------------------------

    def run_logging_to_the_users_own_log(self, why):
        """A successful run that found the shared log unusable for why: it says so first
        in the user's own log and goes on as usual."""
        run, _ = self.successful_run(log=bench.user_log_dir() / "InstallerBootstrapper.log")
        self.assertEqual(run.messages[0], ("warning", f"The shared log [{SHARED_LOG}] can't be used: {why} "
                                                      f"Logging to this user's log instead."))
        self.assertEqual(run.messages[1], ("info", "Initializing installer bootstrapper."))

    def test_a_link_in_place_of_a_log_folder_is_not_followed(self):
        bench.LOG_DIR.mkdir(parents=True, exist_ok=True)
        for place, name in ((bench.LOG_DIR, "C:\\ProgramData\\ZAVsoft\\Kelvra\\logs"),
                            (bench.LOG_DIR.parent.parent, "C:\\ProgramData\\ZAVsoft")):
            with self.subTest(link=name):
                elsewhere = self.folder / f"elsewhere-{place.name}"
                elsewhere.mkdir()
                aside = place.with_name(place.name + ".aside")
                place.rename(aside)
                os.symlink(elsewhere, place)
                try:
                    self.run_logging_to_the_users_own_log(f"[{name}] is a link to another place.")
                finally:
                    place.unlink()
                    aside.rename(place)
                self.assertEqual(list(elsewhere.iterdir()), [], "written where the link points")

    def test_a_shared_log_that_cannot_be_opened_sends_the_run_to_the_users_own_log(self):
        bench.LOG_DIR.mkdir(parents=True, exist_ok=True)
        with bench.held_open([bench.LOG]):
            self.run_logging_to_the_users_own_log(f"cannot open [{SHARED_LOG}]. Error code 32.")

    # -- what other programs hold or hand us ---------------------------------------------

    def test_locked_remote_configuration_and_authentication_file_do_not_stop_the_run(self):
        config, auth = self.cwd / "remoteconfig.json", self.cwd / "zavKelvra.auth"
        with bench.held_open([config, auth]):
            run, folder = self.successful_run()
        self.assertIn(("error", f"Failed to copy local remote-config override from path remoteconfig.json to path "
                                f"{folder}\\remoteconfig.json. Error code 32."), run.messages)
        self.assertIn(FAILED_CONFIG, run.messages)
        self.assertNotIn(("info", "Looking for remote config info for Kelvra Client."), run.messages)
        self.assertIn(("info", f"Token: copy result: [0], source path: [{drive_c_path(auth)}], "
                               f"target path: [{folder}\\zavKelvra.auth]"), run.messages)
        self.assert_staged(remote_config=None)

    def test_remote_configuration_at_the_read_limit(self):
        for size, parsed in ((65535, True), (65536, False)):
            with self.subTest(size=size):
                document = document_of_size(size)
                (self.cwd / "remoteconfig.json").write_bytes(document)
                shutil.rmtree(self.staged, ignore_errors=True)
                run, _ = self.successful_run()
                errors = [text for level, text in run.messages if level == "error" and "remote config" in text]
                if parsed:
                    self.assertEqual(errors, [])
                    self.assertNotIn(FAILED_CONFIG, run.messages)
                else:
                    # Only the first 65535 bytes are read: the closing brace is missing.
                    self.assertEqual(len(errors), 1, errors)
                    self.assertRegex(errors[0], r"^Failed to parse remote config data, error \[\[json\.exception\."
                                                r"parse_error\.101\] .*\]\. Installation should proceed as normal\.$")
                    self.assertIn(FAILED_CONFIG, run.messages)
                # The front end gets the file whole either way.
                self.assert_staged(remote_config=document)

    def test_trailers_with_damaged_size_fields_leave_an_empty_token(self):
        # The reader's view of every size field is covered file by file in the unit
        # tests; these runs show that the whole run goes on as without a token.
        exe = self.folder / "stamped" / WITH_STANDIN.name
        exe.parent.mkdir()
        cases = [(-1, "[error] Token size too big: should be maximum [10236]."),
                 (0, "[info] Token empty. Not reading rest of file."),
                 (10233, "[error] Read wrong amount of bytes: [10232], when wanted to read [10233] from token place."),
                 (10240, "[error] Token size too big: should be maximum [10236].")]
        for size, cause in cases:
            with self.subTest(size=size):
                stamped_with_size_field(WITH_STANDIN, exe, size, token=b"e30=")
                shutil.rmtree(self.staged, ignore_errors=True)
                run, _ = self.successful_run(exe=exe)
                messages = [f"[{level}] {text}" for level, text in run.messages]
                start = messages.index("[info] Has token. Try to read it")
                self.assertEqual(messages[start + 1:start + 4],
                                 [f"[info] Token size: [{size}]", cause, "[error] Failed at reading token."])
                self.assert_staged()


if __name__ == "__main__":
    unittest.main()
