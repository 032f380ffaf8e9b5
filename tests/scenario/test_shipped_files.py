"""What users download, read from the built files without running them: the
architecture, the DLLs that Windows loads before any of our code runs, and the
size budgets (which belong to the 32-bit files only)."""
import os
import unittest

import pe_image
import size_figures
import winebench as bench

ARCH = os.environ.get("KELVRA_ARCH", "i686")
STAGED = bench.BUILD / "staged"
FRONT_END = STAGED / "KelvraInstaller.exe"
RT_MANIFEST = 24

# Windows' KnownDLLs (Session Manager\KnownDLLs, Windows 7 to 11): always taken from
# System32, whatever lies beside a program.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll", "gdi32.dll",
    "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll",
    "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll",
    "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}


class ArchitectureTest(unittest.TestCase):
    def test_programs_dlls_and_manifests_match_the_build(self):
        kind, manifest_architecture = {
            "i686": ((pe_image.PE32_MAGIC, pe_image.MACHINE_I386), b'processorArchitecture="x86"'),
            "x86_64": ((pe_image.PE32_PLUS_MAGIC, pe_image.MACHINE_AMD64), b'processorArchitecture="amd64"'),
        }[ARCH]
        dlls = sorted(STAGED.glob("*/KelvraWebInstaller.resources.dll"))
        self.assertEqual(len(dlls), 12)
        for path in (bench.BOOTSTRAPPER, FRONT_END, *dlls):
            with self.subTest(file=path.relative_to(bench.BUILD)):
                self.assertEqual(pe_image.kind(path.read_bytes()), kind)
        for program in (bench.BOOTSTRAPPER, FRONT_END):
            with self.subTest(manifest=program.name):
                manifest = pe_image.resources(program.read_bytes())[RT_MANIFEST][1]
                self.assertIn(manifest_architecture, manifest)


class ReproducibleBuildTest(unittest.TestCase):
    def test_no_program_carries_its_link_time(self):
        # The link time is what made two builds of one commit differ before signing.
        dlls = sorted(STAGED.glob("*/KelvraWebInstaller.resources.dll"))
        own = bench.BIN / "InstallerBootstrapperWithoutStagedFiles.exe"
        for path in (bench.BOOTSTRAPPER, own, FRONT_END, *dlls):
            with self.subTest(file=path.relative_to(bench.BUILD)):
                self.assertEqual(pe_image.link_time(path.read_bytes()), 0)


class ImportTableTest(unittest.TestCase):
    def test_programs_import_only_known_dlls_at_start_up(self):
        # Windows resolves these before any of the program's code runs, from the
        # program's folder first unless they are KnownDLLs.
        for program in (bench.BOOTSTRAPPER, FRONT_END):
            with self.subTest(program=program.name):
                imported = {name.lower() for name in pe_image.imported_dlls(program.read_bytes())}
                self.assertEqual(imported - KNOWN_DLLS, set())


class SizeTest(unittest.TestCase):
    def test_code_of_both_programs_keeps_its_budget(self):
        if ARCH != "i686":
            self.skipTest("the budgets are those of the shipped 32-bit files")
        own = (bench.BIN / "InstallerBootstrapperWithoutStagedFiles.exe").stat().st_size
        self.assertLessEqual(own, size_figures.BOOTSTRAPPER_OWN_BUDGET)
        self.assertLessEqual(FRONT_END.stat().st_size, size_figures.FRONT_END_BUDGET)

    def test_shipped_bootstrapper_keeps_its_budget(self):
        if ARCH != "i686":
            self.skipTest("the budgets are those of the shipped 32-bit files")
        self.assertLessEqual(bench.BOOTSTRAPPER.stat().st_size, size_figures.SHIPPED_BUDGET)


if __name__ == "__main__":
    unittest.main()
