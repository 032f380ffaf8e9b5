"""The benchmark's measuring tools (bench/): the PE reader that sizes the packed resources
parts and names the DLLs a program imports, bench_idle.exe that loads them, and
process_monitor.exe that reads a process's peak working set."""
import struct
import subprocess
import unittest

import pe_image
import size_figures
import winebench as bench
from winebench import ROOT

STAGED = bench.BUILD / "staged"
TRANSLATIONS = {134: "ru", 135: "pl", 136: "de", 137: "pt-BR", 138: "zh", 139: "fr", 140: "zh-Hant", 141: "ja",
                142: "ko", 143: "es", 144: "es-MX", 145: "it"}


def ico_images(path):
    """The image bytes of an .ico file, in directory order."""
    data = path.read_bytes()
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append(data[offset:offset + size])
    return images


class PeReaderTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = bench.BOOTSTRAPPER.read_bytes()
        cls.found = pe_image.resources(cls.exe)

    def test_packed_parts_inflate_to_the_built_files_byte_for_byte(self):
        raw = self.found[pe_image.RT_RCDATA]
        expected = {129: STAGED / "KelvraInstaller.exe", 133: ROOT / "resources" / "icon.png"}
        expected.update({n: STAGED / c / "KelvraWebInstaller.resources.dll" for n, c in TRANSLATIONS.items()})
        for number, path in expected.items():
            with self.subTest(resource=number):
                self.assertEqual(size_figures.staged_bytes(str(number), raw[number]), path.read_bytes())

    def test_icon_group_names_the_icon_file_images(self):
        group = self.found[pe_image.RT_GROUP_ICON][132]
        icons = self.found[pe_image.RT_ICON]
        images = [icons[number] for number in pe_image.icon_group_images(group)]
        self.assertEqual(images, ico_images(ROOT / "resources" / "application.ico"))

    def test_imports_are_the_dlls_the_linker_named(self):
        dlls = [name.lower() for name in pe_image.imported_dlls(self.exe)]
        for dll in ("kernel32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "user32.dll"):
            self.assertIn(dll, dlls)
        self.assertEqual(len(dlls), len(set(dlls)))

    def test_malformed_files_are_refused(self):
        pe = struct.unpack_from("<I", self.exe, 0x3C)[0]
        magic = struct.unpack_from("<H", self.exe, pe + 24)[0]
        directories = pe + 24 + (112 if magic == pe_image.PE32_PLUS_MAGIC else 96)
        both = (pe_image.resources, pe_image.imported_dlls)

        def directory_moved(index):
            at = directories + 8 * index
            return self.exe[:at] + struct.pack("<I", 0x7FFF0000) + self.exe[at + 4:]

        cases = {  # name: (bytes, the readers that must refuse them)
            "empty": (b"", both),
            "no MZ": (b"XY" + self.exe[2:], both),
            "cut in the headers": (self.exe[:pe + 40], both),
            "neither PE32 nor PE32+": (self.exe[:pe + 24] + b"\x07\x01" + self.exe[pe + 26:], both),
            "PE header past the end": (self.exe[:0x3C] + struct.pack("<I", len(self.exe)) + self.exe[0x40:], both),
            "imports outside every section": (directory_moved(1), (pe_image.imported_dlls,)),
            "resources outside every section": (directory_moved(2), (pe_image.resources,)),
            "cut inside the resource data": (self.exe[:len(self.exe) // 2], (pe_image.resources,)),
        }
        for name, (data, readers) in cases.items():
            for reader in readers:
                with self.subTest(case=name, reader=reader.__name__):
                    with self.assertRaises(ValueError):
                        reader(data)


class ProcessMonitorTest(unittest.TestCase):
    def monitor(self, name, timeout_ms):
        return bench.wine_background([bench.BIN / "process_monitor.exe", name, timeout_ms],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def peak_of_idle_program(self, *dlls):
        """(exit code of bench_idle.exe loading dlls, its peak working set as the monitor saw it)."""
        monitor = self.monitor("BENCH_IDLE.EXE", 60000)
        self.assertEqual(monitor.stdout.readline().strip(), b"ready")
        code = bench.wine([bench.BIN / "bench_idle.exe", *dlls]).returncode
        out, _ = monitor.communicate(timeout=60)
        self.assertEqual(monitor.returncode, 0, out)
        values = dict(line.split("=") for line in out.decode().split())
        self.assertGreater(int(values["processId"]), 0)
        return code, int(values["peakWorkingSetSize"])

    def test_reports_the_peak_of_a_process_once_it_ends(self):
        code, bare = self.peak_of_idle_program()
        self.assertEqual(code, 0)
        # Any Windows process under Wine holds more than a mebibyte.
        self.assertGreater(bare, 1024 * 1024)
        # The idle program loads what it is told, and counts what it could not load.
        code, loaded = self.peak_of_idle_program("shell32.dll", "no_such_library.dll", "urlmon.dll")
        self.assertEqual(code, 1)
        self.assertGreater(loaded, bare + 1024 * 1024)

    def test_gives_up_on_a_process_that_never_appears(self):
        monitor = self.monitor("no_such_program.exe", 500)
        out, _ = monitor.communicate(timeout=60)
        self.assertEqual(monitor.returncode, 1)
        self.assertEqual(out.decode().split(), ["ready", "timeout"])


if __name__ == "__main__":
    unittest.main()
