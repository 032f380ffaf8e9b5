"""Whole runs of the bootstrapper under Wine, one outcome of a run at a time.

Runs that stop before the front end use the real InstallerBootstrapper.exe; runs
that reach it use the stand-in front end (whole_runs.py). The variants without a
resource, or with a front end that is no program, are built in tests/standin_builds.

Outcomes covered elsewhere: the single-instance guard and the working folder's name
(test_bootstrapper.py), the system requirements (test_system.py).
"""
import base64
import contextlib
import json
import os
import shutil
import socket
import subprocess
import threading
import time
import unittest

import winebench as bench
from whole_runs import CLIENT_KEYS, LAUNCH, SUCCEEDED, WITH_STANDIN, RunBench, digests, end_leftover_processes
from winebench import CONFIG_BOUND_SECONDS, INTERNET_SETTINGS, SHORT_CONFIG_BOUND, STAMP, drive_c_path, plant_leftover

BOUND_REACHED = f"Stopped the remote-config download after [{CONFIG_BOUND_SECONDS}] seconds."
FULFILLED = ("info", "System fulfills Kelvra requirements.")
NONZERO = ("warning", "C# Installer returned nonzero error code.")
NOT_FOUND = ("info", "Kelvra does not exist. Shutting down")
PROBING = ("info", "Checking kelvra existence.")
OUR_CAPTIONS = {"Installation Error", "Installation Failed", ".NET Framework Not Found", "Installer Already Running",
                "This Version of Windows is Not Supported"}


@contextlib.contextmanager
def silent_listener():
    """A port on 127.0.0.1 that takes connections and never answers; yields the port."""
    listener = socket.create_server(("127.0.0.1", 0))
    taken = []

    def take():
        with contextlib.suppress(OSError):
            while True:
                taken.append(listener.accept()[0])

    thread = threading.Thread(target=take, daemon=True)
    thread.start()
    try:
        yield listener.getsockname()[1]
    finally:
        listener.close()
        for connection in taken:
            connection.close()


class EndToEndTest(RunBench):
    # -- the outcomes, in the order of a run -----------------------------------------

    def test_log_folder_that_cannot_be_examined_stops_the_run_before_any_log(self):
        # A link to itself: the attribute query fails with a code other than "not found",
        # as a file system loop does on Windows too.
        saved = bench.LOG_DIR.with_name("logs.saved-by-test")
        if bench.LOG_DIR.is_dir():
            bench.LOG_DIR.rename(saved)
        os.symlink("logs", bench.LOG_DIR)
        try:
            run = self.run_exe(exe=bench.BOOTSTRAPPER)
        finally:
            bench.LOG_DIR.unlink()
            if saved.exists():
                saved.rename(bench.LOG_DIR)
        self.assertEqual(run.code, 1)
        self.assertIsNotNone(run.notice)
        self.assertEqual(run.notice.caption, "Installation Failed")
        self.assertTrue(run.notice.body.endswith(" Error code: 1921."), run.notice.body)
        self.assertEqual(run.log_lines, [])
        self.assertEqual(self.left, set())

    def test_leftover_with_a_file_in_use_is_left_whole_and_the_run_goes_on(self):
        # Two days old, one file still kept open without sharing by another program, as
        # the front end of a killed run would.
        leftover = plant_leftover("KelvraInstaller_heldA")
        self.addCleanup(shutil.rmtree, leftover, True)
        held = leftover / "de" / "KelvraWebInstaller.resources.dll"
        with bench.held_open([held]):
            run = self.run_exe(env=self.standin("0", copy=True, client_layout="32"))

        self.assertEqual(run.code, 0, run.messages)
        self.assertIsNone(run.notice)
        self.assert_cleaned_up(run)
        self.assertIn(("warning", f"Left leftover working folder [{drive_c_path(leftover)}]: [{drive_c_path(held)}] is "
                                  f"in use or can't be deleted. Error code 32."), run.messages)
        self.assertEqual(held.read_bytes(), b"MZ")
        self.assertEqual((leftover / "payload.base64").read_text(), "token")

    def test_staging_failure_shows_the_installation_error_and_removes_the_working_folder(self):
        cases = [
            ("front end missing", "InstallerBootstrapperWithout129.exe",
             lambda folder: [FULFILLED, ("error", "Failed to find resource. Resource id: 129.")]),
            ("image missing", "InstallerBootstrapperWithout133.exe",
             lambda folder: [FULFILLED, ("error", "Failed to find resource. Resource id: 133.")]),
            ("translation missing", "InstallerBootstrapperWithout140.exe",
             lambda folder: [("info", f"Dumping translation file of language [zh-Hant], path "
                                      f"[{folder}\\zh-Hant\\KelvraWebInstaller.resources.dll]"),
                             ("error", "Failed to find resource. Resource id: 140.")]),
            ("icon group missing", "InstallerBootstrapperWithout132.exe",
             lambda folder: [("info", "Extracting icon resources."),
                             ("error", "Failed to find resource. Resource id: 132.")]),
        ]
        for name, exe, lines in cases:
            with self.subTest(name):
                run = self.run_exe(exe=bench.BIN / exe, env=self.standin())
                self.assertEqual(run.code, 1)
                self.assertIsNotNone(run.notice)
                self.assertEqual(run.notice.caption, "Installation Error")
                folder = self.assert_cleaned_up(run)
                expected = lines(folder)
                self.assertEqual(run.messages[-1 - len(expected):-1], expected)
                self.assertFalse(any(LAUNCH.match(text) for _, text in run.messages))
                self.assertFalse(self.report_file.exists(), "the front end was started")

    def test_front_end_that_cannot_be_started_ends_the_run_with_the_warning(self):
        run = self.run_exe(exe=bench.BIN / "InstallerBootstrapperWithUnstartableFrontEnd.exe")
        self.assertEqual(run.code, 1)
        # The shell may show its own error box (no SEE_MASK_FLAG_NO_UI); none of ours appears.
        self.assertTrue(run.notice is None or run.notice.caption not in OUR_CAPTIONS, run.notice)
        folder = self.assert_cleaned_up(run)
        messages = run.messages
        self.assertEqual(messages[-4], ("info", f"Executing installer. Path [{folder}\\KelvraInstaller.exe], params []."))
        self.assertEqual(messages[-3][0], "error")
        self.assertRegex(messages[-3][1], r"^ShellExecuteEx failed\. Error code \d+\.$")
        self.assertEqual(messages[-2], NONZERO)

    def test_nonzero_exit_code_fails_the_run_without_asking_for_the_client(self):
        for exit_code in ("1", "256", "0x80000000"):
            with self.subTest(exit_code=exit_code):
                for key in CLIENT_KEYS:
                    bench.registry_delete_key(key)
                # The client does get installed: the exit code alone decides.
                run = self.run_exe(env=self.standin(exit_code, client_layout="32"))
                self.assertEqual(run.code, 1)
                self.assertIsNone(run.notice)
                self.assertIn("processId", self.report(), "the front end did not run")
                self.assertTrue((self.client / "KelvraClient.exe").exists())
                self.assert_cleaned_up(run)
                self.assertEqual(run.messages[-2], NONZERO)
                self.assertNotIn(PROBING, run.messages)

    def test_client_missing_after_the_front_end_fails_the_run_without_a_notice(self):
        cases = [("no registry entries", []),
                 ("registry names an executable that is not there",
                  [(CLIENT_KEYS[0] + r"\KelvraClient\paths", "client", drive_c_path(self.client), "REG_SZ"),
                   (CLIENT_KEYS[0] + r"\KelvraClient", "clientExecutable", "KelvraClient.exe", "REG_SZ")])]
        for name, values in cases:
            with self.subTest(name), bench.registry_values(values):
                run = self.run_exe(env=self.standin("0"))
                self.assertEqual(run.code, 1)
                self.assertIsNone(run.notice)
                self.assert_cleaned_up(run)
                self.assertEqual(run.messages[-2], NOT_FOUND)
                self.assertIn(PROBING, run.messages)
                self.assertNotIn(NONZERO, run.messages)

    def test_installed_client_makes_the_run_succeed(self):
        (self.cwd / "zavKelvra.auth").write_bytes(b"auth \x00\xff bytes")
        for layout in ("32", "64"):
            with self.subTest(layout=layout):
                for key in CLIENT_KEYS:
                    bench.registry_delete_key(key)
                shutil.rmtree(self.staged, ignore_errors=True)
                run = self.run_exe(env=self.standin("0", copy=True, client_layout=layout))
                self.assertEqual(run.code, 0)
                self.assertIsNone(run.notice)
                folder = self.assert_cleaned_up(run)
                messages = run.messages
                self.assertEqual(messages[-2], SUCCEEDED)
                self.assertIn(("info", f"Kelvra exists - KelvraClient.exe found at "
                                       f"[{drive_c_path(self.client)}\\KelvraClient.exe]."), messages)
                # No token in this build: the run still stages and launches.
                start = messages.index(("info", "Has token. Try to read it"))
                self.assertEqual(messages[start + 2], ("error", "Failed at reading token."))
                self.assertIn(("info", "Using local remote-config override."), messages)
                self.assertIn(("info", f"Executing installer. Path [{folder}\\KelvraInstaller.exe], params []."),
                              messages)
                self.assert_staged(auth=b"auth \x00\xff bytes")

                seen = self.report()
                self.assertEqual(seen["executable"], [f"{folder}\\KelvraInstaller.exe"])
                self.assertEqual(seen["currentDirectory"], [drive_c_path(self.cwd)])
                self.assertNotIn("argument", seen)
                self.assertEqual(seen["parentExecutable"][0].lower(), bench.z_path(WITH_STANDIN).lower())

    def test_locked_authentication_file_does_not_stop_the_run(self):
        auth = self.cwd / "zavKelvra.auth"
        with bench.held_open([auth]):
            run = self.run_exe(env=self.standin("0", copy=True, client_layout="32"))
        self.assertEqual(run.code, 0)
        folder = self.assert_cleaned_up(run)
        self.assertIn(("info", f"Token: copy result: [0], source path: [{drive_c_path(auth)}], "
                               f"target path: [{folder}\\zavKelvra.auth]"), run.messages)
        self.assertEqual(run.messages[-2], SUCCEEDED)
        self.assert_staged()

    def test_stamped_copy_hands_its_campaign_to_the_front_end(self):
        if not STAMP.exists():
            raise AssertionError(f"{STAMP} is missing: build the host tools first (make build-host)")
        campaign = {"login_parameters": "lp=4711", "campaign": {"source": "e2e", "name": "Grüße", "id": 3}}
        campaign_file = self.folder / "campaign.json"
        campaign_file.write_text(json.dumps(campaign, ensure_ascii=False), encoding="utf-8")
        stamped = self.folder / "stamped" / WITH_STANDIN.name
        stamped.parent.mkdir()
        result = subprocess.run([str(STAMP), "--campaign", str(campaign_file), str(WITH_STANDIN), str(stamped)],
                                capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        token = base64.b64encode(json.dumps(campaign, separators=(",", ":"), ensure_ascii=False).encode()).decode()

        run = self.run_exe(exe=stamped, env=self.standin("0", copy=True, client_layout="32"))
        self.assertEqual(run.code, 0)
        self.assert_cleaned_up(run)
        self.assertNotIn(("error", "Failed at reading token."), run.messages)
        self.assertIn(("info", f"Token: token doesn't exist at path: [{drive_c_path(self.cwd)}\\zavKelvra.auth]"),
                      run.messages)
        sorted_compact = json.dumps(campaign, separators=(",", ":"), ensure_ascii=False, sort_keys=True)
        self.assert_staged(token=token.encode(), campaign=sorted_compact.encode())

    def test_run_goes_on_when_the_remote_configuration_cannot_be_obtained(self):
        # No local override: the download meets the bench's closed proxy, then a
        # proxy that takes the connection and never answers, which only the
        # download's own bound ends (the test build's shorter one).
        (self.cwd / "remoteconfig.json").unlink()
        with silent_listener() as port:
            for proxy, stopped in ((None, []), (f"127.0.0.1:{port}", [("error", BOUND_REACHED)])):
                with self.subTest(proxy=proxy or "closed"), bench.registry_values(
                        [(INTERNET_SETTINGS, "ProxyServer", proxy, "REG_SZ")] if proxy else []):
                    env = dict(self.standin("0", copy=True, client_layout="32"), **(SHORT_CONFIG_BOUND if proxy else {}))
                    run = self.run_exe(env=env, timeout=120)
                    self.assertEqual(run.code, 0)
                    self.assert_cleaned_up(run)
                    messages = run.messages
                    start = messages.index(("info", "Looking for remote config info for Kelvra Client.")) + 1
                    self.assertEqual(messages[start:start + len(stopped)], stopped)
                    failure = messages[start + len(stopped)]
                    self.assertEqual(failure[0], "error")
                    self.assertTrue(failure[1].startswith("Failed to download remote-config to file due to "))
                    self.assertEqual(messages[start + len(stopped) + 1],
                                     ("info", "Due to failure in getting allowed version from remote config, "
                                              "setting allowed Kelvra version to 0.0.0."))
                    self.assertEqual(messages[-2], SUCCEEDED)
                    self.assert_staged(remote_config=None)

    def test_second_copy_is_turned_away_while_the_first_waits_for_its_front_end(self):
        release = self.folder / "release"
        env = self.standin("0", client_layout="32", wait_for=release)
        before = set(bench.working_folders())
        start = bench.log_size()
        first = bench.wine_background([WITH_STANDIN], env=env, cwd=self.cwd,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 60
            while not self.report_file.exists() and time.monotonic() < deadline and first.poll() is None:
                time.sleep(0.1)
            self.assertTrue(self.report_file.exists(), "the first copy's front end did not start")
            working = set(bench.working_folders()) - before
            self.assertEqual(len(working), 1)
            working = working.pop()
            staged = digests(working)
            self.assertIn("KelvraInstaller.exe", staged)

            code, notice, lines = bench.run_with_notice_watch([WITH_STANDIN], cwd=self.cwd)
            self.assertEqual(code, 1)
            self.assertIsNotNone(notice)
            self.assertEqual(notice.caption, "Installer Already Running")
            self.assertEqual(lines, [])
            self.assertEqual(digests(working), staged, "the second copy disturbed the first one's working folder")
            self.assertEqual(set(bench.working_folders()) - before, {working})
        finally:
            release.touch()
            try:
                first_code = first.wait(timeout=60)
            except subprocess.TimeoutExpired:
                end_leftover_processes()
                raise
        self.assertEqual(first_code, 0)
        self.left = set(bench.working_folders()) - before
        first_run = bench.Run(first_code, None, bench.log_lines(start))
        self.assert_cleaned_up(first_run)
        self.assertEqual(first_run.messages[-2], SUCCEEDED)


if __name__ == "__main__":
    unittest.main()
