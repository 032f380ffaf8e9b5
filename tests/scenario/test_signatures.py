"""The build's signatures: the bootstrapper, the front end and each string DLL
carry a SHA-256 Authenticode signature by the build's certificate, and the
bootstrapper embeds the signed front end and DLLs (packed: inflated, they are the
signed files byte for byte). The build's signing step
countersigns with a timestamp server when given one, and stamping keeps that
timestamp valid."""
import os
import pathlib
import subprocess
import tempfile
import unittest

import authenticode
import size_figures
from timestamp_authority import TimestampAuthority
from winebench import BOOTSTRAPPER, BUILD, ROOT, STAMP

STAGED = BUILD / "staged"
SIGN_FILE = ROOT / "cmake" / "SignFile.cmake"
# The local timestamp server must be reached directly.
NO_PROXY = {name: value for name, value in os.environ.items() if "proxy" not in name.lower()}


def sign_with_timestamp(path, url):
    """Runs the build's signing step on path with a timestamp server."""
    result = subprocess.run([os.environ.get("KELVRA_CMAKE", "cmake"), f"-DOSSLSIGNCODE={authenticode.OSSLSIGNCODE}",
                             f"-DFILE={path}", f"-DCERT={authenticode.CERTIFICATE}",
                             f"-DKEY={os.environ['KELVRA_SIGNING_KEY']}",
                             f"-DPASSWORD_FILE={os.environ.get('KELVRA_SIGNING_PASSWORD_FILE', '')}",
                             f"-DTIMESTAMP_URL={url}", "-DDESCRIPTION=test", "-DURL=https://localhost/",
                             "-P", str(SIGN_FILE)], capture_output=True, text=True, timeout=120, env=NO_PROXY)
    assert result.returncode == 0, result.stdout + result.stderr


class BuildSignaturesTest(unittest.TestCase):
    def assert_verifies(self, path):
        passed, output = authenticode.verify(path)
        self.assertTrue(passed, f"{path}:\n{output}")

    def test_bootstrapper_is_signed(self):
        self.assert_verifies(BOOTSTRAPPER)

    def test_front_end_and_dlls_are_signed_before_they_are_embedded(self):
        dlls = sorted(STAGED.glob("*/KelvraWebInstaller.resources.dll"))
        self.assertEqual(len(dlls), 12, dlls)
        embedded = [size_figures.staged_bytes(name, data)
                    for name, data in size_figures.packed_parts(BOOTSTRAPPER.read_bytes())]
        for path in [STAGED / "KelvraInstaller.exe", *dlls]:
            with self.subTest(path=str(path.relative_to(STAGED))):
                self.assert_verifies(path)
                self.assertIn(path.read_bytes(), embedded)

    def test_changed_byte_or_other_certificate_fails(self):
        """The check is not a formality: it sees a byte changed in the signed
        code, and a signature by a certificate other than the build's."""
        with tempfile.TemporaryDirectory() as folder:
            changed = pathlib.Path(folder) / "changed.exe"
            data = bytearray(BOOTSTRAPPER.read_bytes())
            data[len(data) // 2] ^= 0x01
            changed.write_bytes(data)
            self.assertFalse(authenticode.verify(changed)[0])

            unsigned = pathlib.Path(folder) / "unsigned.exe"
            authenticode.remove_signature(BOOTSTRAPPER, unsigned)
            self.assertFalse(authenticode.verify(unsigned)[0])

            self.assertFalse(authenticode.verify(BOOTSTRAPPER, signer_hash="00" * 32)[0])

    def test_timestamped_signature_survives_stamping(self):
        self.assertTrue(STAMP.exists(), f"{STAMP} is missing: build the host tools first (make build-host)")
        with tempfile.TemporaryDirectory() as folder, TimestampAuthority(folder) as authority:
            exe = pathlib.Path(folder) / "timestamped.exe"
            authenticode.remove_signature(BOOTSTRAPPER, exe)
            sign_with_timestamp(exe, authority.url)
            self.assertEqual(authority.requests, 1)
            stamped = pathlib.Path(folder) / "stamped.exe"
            result = subprocess.run([str(STAMP), "--token", "e30=", str(exe), str(stamped)], capture_output=True,
                                    timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            for path in (exe, stamped):
                with self.subTest(path=path.name):
                    passed, output = authenticode.verify(path, tsa_certificate=authority.certificate)
                    self.assertTrue(passed, output)
                    self.assertIn("Timestamp Server Signature verification: ok", output)
            self.assertEqual(stamped.read_bytes()[-10240:-10240 + 12], b"ZAV\xff\x04\x00\x00\x00e30=")


if __name__ == "__main__":
    unittest.main()
