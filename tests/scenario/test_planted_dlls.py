"""DLLs planted beside the programs. Both start from folders that others can write
to (Downloads, the temporary folder), where a file named like a Windows DLL that a
program uses could be loaded in place of the real one.

The planted copies are tests/tools/planted_library.dll under each name: loaded, one
leaves "NAME.loaded" beside itself and fails its load. WINEDLLOVERRIDES makes Wine
prefer such native copies to its own for those names ("=n,b"), so that it takes
them from the program's folder wherever Windows would.
"""
import re
import shutil
import unittest

import frontend_bench as fe
import winebench as bench
from https_server import remote_config
from whole_runs import CLIENT_KEYS


WORK = bench.STATE / "planted-dlls"
PLANTED = bench.BIN / "planted_library.dll"
PROBE = bench.BIN / "dll_search_probe.exe"
WITH_STANDIN = bench.BIN / "InstallerBootstrapperWithStandin.exe"
SETUP_STANDIN = bench.BIN / "client_setup_standin.exe"

# The DLLs beyond the KnownDLLs (test_shipped_files.py) that each program loads, and
# one that urlmon loads in turn.
# Not version.dll, which neither uses: Wine's user32, unlike Windows', imports it,
# and so loads a planted copy at start-up, before any of the program's code.
BOOTSTRAPPER_DLLS = ["urlmon.dll", "wininet.dll"]
FRONT_END_DLLS = ["winhttp.dll", "bcrypt.dll", "comctl32.dll", "wintrust.dll", "crypt32.dll"]

NDP = r"HKLM\Software\Microsoft\NET Framework Setup\NDP"
WORKING_FOLDER = re.compile(r"KelvraInstaller_\w+")


def preferring_planted(names):
    """The environment in which Wine loads a planted copy of each name where it finds one."""
    stems = ",".join(name.removesuffix(".dll") for name in names)
    return {"WINEDLLOVERRIDES": f"mscoree,mshtml=;{stems}=n,b"}


def without(names):
    """The environment in which Wine finds none of the DLLs named."""
    stems = ",".join(name.removesuffix(".dll") for name in names)
    return {"WINEDLLOVERRIDES": f"mscoree,mshtml=;{stems}="}


def plant(folder, names):
    for name in names:
        shutil.copyfile(PLANTED, folder / name)


def loaded_planted(folder):
    """The planted DLLs that something loaded, by name."""
    return sorted(marker.name.removesuffix(".loaded").lower() for marker in folder.rglob("*.loaded"))


def fresh_folder(name):
    folder = WORK / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def setUpModule():
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)


class DllSearchTest(unittest.TestCase):
    """The start-up call (base/dll_search.h) and loads from System32, on their own."""

    def probe(self, mode, names, env):
        folder = fresh_folder(self._testMethodName + "-" + mode)
        shutil.copyfile(PROBE, folder / PROBE.name)
        plant(folder, [name for name in names if name != "no_such_library.dll"])
        result = bench.wine([folder / PROBE.name, mode, *names], env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode("utf-8", errors="replace").splitlines()
        return dict(line.split(" ", 1) for line in lines), loaded_planted(folder)

    def test_after_the_start_up_call_a_planted_dll_is_passed_over_for_system32(self):
        names = ["wininet.dll", "winhttp.dll"]
        env = preferring_planted(names)
        # Without the call, the bench loads the planted copies: the test below can fail.
        found, loaded = self.probe("unrestricted", names, env)
        self.assertEqual(loaded, sorted(names))
        self.assertEqual(found, {name: "failed 1114" for name in names})  # ERROR_DLL_INIT_FAILED
        found, loaded = self.probe("restricted", names, env)
        self.assertEqual(loaded, [])
        self.assertEqual(found, {name: "C:\\windows\\system32\\" + name for name in names})

    def test_system_libraries_come_from_system32_or_fail_with_the_cause(self):
        names = ["wininet.dll", "no_such_library.dll"]
        found, loaded = self.probe("system", names, preferring_planted(names))
        self.assertEqual(loaded, [])
        self.assertEqual(found, {"wininet.dll": "C:\\windows\\system32\\wininet.dll",
                                 "no_such_library.dll": "failed 126"})  # ERROR_MOD_NOT_FOUND
        found, _ = self.probe("system", ["wininet.dll"], without(["wininet.dll"]))
        self.assertEqual(found, {"wininet.dll": "failed 126"})


class BootstrapperTest(unittest.TestCase):
    """The bootstrapper run from a folder beside planted DLLs, with that folder as its
    current directory, as when started from Downloads."""

    @classmethod
    def setUpClass(cls):
        cls.enterClassContext(bench.registry_key_restored(NDP))
        for key in CLIENT_KEYS:
            cls.enterClassContext(bench.registry_key_restored(key))

    def setUp(self):
        bench.registry_delete_key(NDP)
        for key in CLIENT_KEYS:
            bench.registry_delete_key(key)

    def run_from(self, folder, exe, env=None):
        """(exit code, notice, log lines) of a run of a copy of exe in folder."""
        shutil.copyfile(exe, folder / exe.name)
        run = bench.run_bootstrapper(exe=folder / exe.name, env=env, cwd=folder)
        messages = [(level, WORKING_FOLDER.sub("KelvraInstaller_*", text)) for level, text in run.messages]
        notice = (run.notice.caption, run.notice.body) if run.notice else None
        return run.code, notice, messages

    def test_planted_dlls_are_not_loaded_and_runs_end_as_without_them(self):
        client = WORK / "client"
        cases = [  # name, program, .NET 4.8 registered, environment, how the run ends
            ("dotnet-missing", bench.BOOTSTRAPPER, False, {}, 1),
            ("installed", WITH_STANDIN, True, {"KELVRA_STANDIN_CLIENT_FOLDER": bench.z_path(client)}, 0),
        ]
        for name, exe, framework, env, code in cases:
            with self.subTest(name):
                if framework:
                    bench.registry_set(NDP + r"\v4\Full", "Release", 528040, "REG_DWORD")
                folder = fresh_folder(name)
                plain = self.run_from(folder, exe, env)
                for key in CLIENT_KEYS:
                    bench.registry_delete_key(key)
                plant(folder, BOOTSTRAPPER_DLLS)
                planted = self.run_from(folder, exe, {**env, **preferring_planted(BOOTSTRAPPER_DLLS)})
                self.assertEqual(loaded_planted(folder), [])
                self.assertEqual(planted, plain)
                self.assertEqual(planted[0], code)

    def test_urlmon_that_cannot_be_loaded_fails_only_the_configuration_download(self):
        folder = fresh_folder("urlmon-missing")
        plain = self.run_from(folder, bench.BOOTSTRAPPER)
        code, notice, messages = self.run_from(folder, bench.BOOTSTRAPPER, without(["urlmon.dll"]))
        failure = ("error", "Failed to download remote-config to file: urlmon.dll could not be loaded from the "
                            "system folder. Error code 126.")
        download = ("error", "Failed to download remote-config to file due to error INET_E_DOWNLOAD_FAILURE.")
        self.assertIn(download, plain[2])
        self.assertEqual((code, notice, messages), (plain[0], plain[1], [failure if m == download else m
                                                                          for m in plain[2]]))


class FrontEndTest(unittest.TestCase):
    """The front end in a working folder beside planted DLLs, through a whole
    installation: configuration, download, digest and the client setup's start.

    A missing bcrypt.dll is not played here: the digest checks for it as the
    download checks for winhttp.dll, but Wine's own WinHTTP needs it first (through
    crypt32) and fails without it."""

    @classmethod
    def setUpClass(cls):
        bench.serve_setup(cls, SETUP_STANDIN.read_bytes(), WORK / "certificates")

    def stage(self, name, link):
        """A working folder whose configuration names link, and the file in which the
        client setup stand-in records its start; both fresh."""
        record = WORK / f"{name}-setup.jsonl"
        record.unlink(missing_ok=True)
        return fe.stage(WORK / name, remote_config(link, self.md5)), record

    def start(self, folder, record, env):
        run = fe.FrontEnd(folder, env={"KELVRA_SETUP_RECORD": bench.z_path(record), **env})
        self.addCleanup(run.kill)
        return run

    def test_planted_dlls_are_not_loaded_during_a_whole_installation(self):
        folder, record = self.stage("installation", self.server.url("ok"))
        plant(folder, FRONT_END_DLLS)
        try:
            run = self.start(folder, record, preferring_planted(FRONT_END_DLLS))
            code = run.wait_exit(timeout=120)
        finally:
            # First: a planted DLL that was loaded is why the run failed, if it did.
            self.assertEqual(loaded_planted(folder), [])
        self.assertEqual(code, 0)
        self.assertTrue(record.exists(), "the client setup did not run")
        self.assertIn(("information", "Client setup finished with return code: 0"), run.messages())

    def test_winhttp_that_cannot_be_loaded_fails_the_download_with_its_cause(self):
        link = self.server.url("ok")
        folder, record = self.stage("missing-winhttp", link)
        run = self.start(folder, record, without(["winhttp.dll"]))
        run.wait_page("tabError")
        run.close()
        run.wait_exit()
        messages = run.messages()
        self.assertIn(("error", f"Error: Downloading '{link}' failed: Loading winhttp.dll from the system folder "
                                "failed with error 126."), messages)
        self.assertEqual(messages[-1], ("information", "Exit complete"))
        self.assertFalse(record.exists(), "the client setup ran")

    def test_wintrust_that_cannot_be_loaded_refuses_the_setup(self):
        folder, record = self.stage("missing-wintrust", self.server.url("ok"))
        run = self.start(folder, record, without(["wintrust.dll"]))
        run.wait_page("tabError")
        run.close()
        run.wait_exit()
        # ERROR_MOD_NOT_FOUND as an HRESULT: nothing checked is nothing trusted.
        self.assertIn(("error", "Error: The client setup's signature is not trusted on this machine "
                                "(error 0x8007007E)."), run.messages())
        self.assertFalse(record.exists(), "the client setup ran")

    def test_front_end_without_common_controls_logs_why_it_shows_no_window(self):
        folder, _ = self.stage("missing-comctl32", self.server.url("ok"))
        start = bench.log_size(fe.LOG)
        result = bench.wine([folder / "KelvraInstaller.exe"], env=without(["comctl32.dll"]))
        self.assertEqual(result.returncode, 1)
        self.assertEqual([line.split("] ", 1)[1] for line in bench.log_lines(start, fe.LOG)],
                         ["[error] Could not load comctl32.dll. Error code 126."])


if __name__ == "__main__":
    unittest.main()
