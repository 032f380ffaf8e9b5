"""A bootstrapper stamped by kelvra-stamp, run under Wine: the token lines in its log.
The built bootstrapper is signed: its stamped copies must keep the signature."""
import base64
import json
import shutil
import struct
import subprocess
import unittest

import authenticode
import winebench as bench
from winebench import STAMP
CAMPAIGN = {"login_parameters": "lp=01234", "campaign": {"source": "mail", "name": "Grüße", "id": 7}}


def trailer_token(path):
    """The token as the bootstrapper reads it: from the file's last 10240 bytes."""
    region = path.read_bytes()[-10240:]
    assert region[:4] == b"ZAV\xff", region[:4]
    size, = struct.unpack_from("<i", region, 4)
    return region[8:8 + size].decode()


def without_checksum(data):
    """The exe's bytes less the PE checksum, which stamping updates."""
    headers, = struct.unpack_from("<I", data, 0x3C)
    checksum = headers + 24 + 64
    return data[:checksum] + data[checksum + 4:]


def token_lines(stamped):
    """The two log lines after "Has token. Try to read it" of a run of stamped."""
    code, _, lines = bench.run_with_notice_watch([stamped])
    messages = bench.Run(code, None, lines).messages
    start = messages.index(("info", "Has token. Try to read it"))
    return messages, messages[start + 1:start + 3]


def payload_lines(messages):
    """The messages from the raw payload file up to the decoding's last line."""
    start = next(i for i, (_, text) in enumerate(messages) if text.endswith("\\payload.base64]"))
    return messages[start:start + 4]


class StampedBootstrapperTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not STAMP.exists():
            raise AssertionError(f"{STAMP} is missing: build the host tools first (make build-host)")
        cls.folder = bench.STATE / "stamped"
        shutil.rmtree(cls.folder, ignore_errors=True)
        cls.folder.mkdir(parents=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def stamp(self, *args):
        return subprocess.run([str(STAMP), *map(str, args)], capture_output=True, timeout=60)

    def test_stamped_copy_logs_its_token_and_decodes_it(self):
        campaign_file = self.folder / "campaign.json"
        campaign_file.write_text(json.dumps(CAMPAIGN, indent=2, ensure_ascii=False), encoding="utf-8")
        stamped = self.folder / "InstallerBootstrapper.exe"
        result = self.stamp("--campaign", campaign_file, bench.BOOTSTRAPPER, stamped)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.decode().split(":")[0], "stamped inside the signature's certificate table")
        passed, output = authenticode.verify(stamped)
        self.assertTrue(passed, output)
        compact = json.dumps(CAMPAIGN, separators=(",", ":"), ensure_ascii=False)
        token = base64.b64encode(compact.encode()).decode()

        shown = self.stamp("--show", stamped)
        self.assertEqual(shown.returncode, 0)
        sorted_compact = json.dumps(CAMPAIGN, separators=(",", ":"), ensure_ascii=False, sort_keys=True)
        self.assertEqual(shown.stdout.decode(), f"token ({len(token)} bytes): {token}\ndecoded: {sorted_compact}\n")

        # Every user can read the logs: they show the token with its login_parameters value redacted
        # (and its members sorted).
        redacted = json.dumps(dict(CAMPAIGN, login_parameters="[redacted]"), separators=(",", ":"),
                              ensure_ascii=False, sort_keys=True)
        redacted_token = base64.b64encode(redacted.encode()).decode()
        start = bench.log_size()
        messages, lines = token_lines(stamped)
        self.assertEqual(lines, [("info", f"Token size: [{len(token)}]"),
                                 ("info", f"Succeeded to read token: [{redacted_token}]")])
        self.assertNotIn(("error", "Failed at reading token."), messages)
        raw, decoded_line, decoded, campaign = payload_lines(messages)
        self.assertEqual(decoded_line, ("info", f"Token: [{redacted}]"))
        self.assertEqual(decoded, ("info", f"Decoded token: [{redacted}]"))
        self.assertTrue(campaign[1].endswith("\\payload.campaign]"), campaign)
        with bench.LOG.open("rb") as log:
            log.seek(start)
            written = log.read()
        login = CAMPAIGN["login_parameters"].encode()
        for secret in (login, token.encode(), base64.b64encode(sorted_compact.encode())):
            self.assertNotIn(secret, written)
        self.assertFalse(bench.holds_secret(written, login))

    def test_replacing_and_stripping_keep_the_signature(self):
        first = self.folder / "first.exe"
        second = self.folder / "second.exe"
        stripped = self.folder / "stripped.exe"
        for args in (("--token", "eyJhIjoxfQ==", bench.BOOTSTRAPPER, first), ("--token", "e30=", first, second),
                     ("--strip", second, stripped)):
            result = self.stamp(*args)
            self.assertEqual(result.returncode, 0, result.stderr)
            passed, output = authenticode.verify(args[-1])
            self.assertTrue(passed, f"{args[-1].name}:\n{output}")
        self.assertEqual(trailer_token(first), "eyJhIjoxfQ==")
        self.assertEqual(trailer_token(second), "e30=")
        self.assertEqual(second.stat().st_size, first.stat().st_size)
        self.assertEqual(stripped.read_bytes(), bench.BOOTSTRAPPER.read_bytes())

    def test_unsigned_copy_gets_the_trailer_appended_and_runs(self):
        unsigned = self.folder / "unsigned.exe"
        authenticode.remove_signature(bench.BOOTSTRAPPER, unsigned)
        stamped = self.folder / "unsigned-stamped.exe"
        result = self.stamp("--token", "e30=", unsigned, stamped)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.decode(), f"stamped: {stamped} (token 4 bytes)\n")
        self.assertEqual(without_checksum(stamped.read_bytes()[:-10240]), without_checksum(unsigned.read_bytes()))
        self.assertEqual(trailer_token(stamped), "e30=")
        _, lines = token_lines(stamped)
        self.assertEqual(lines, [("info", "Token size: [4]"), ("info", "Succeeded to read token: [e30=]")])

    def test_plain_copy_goes_on_with_an_empty_token(self):
        code, _, lines = bench.run_with_notice_watch([bench.BOOTSTRAPPER])
        messages = bench.Run(code, None, lines).messages
        start = messages.index(("info", "Has token. Try to read it"))
        self.assertEqual(messages[start + 1][0], "error")
        self.assertTrue(messages[start + 1][1].startswith("Wrong value of header, ["), messages[start + 1])
        self.assertEqual(messages[start + 2], ("error", "Failed at reading token."))
        raw, decoded_line, parse_error, driver_line = payload_lines(messages)
        self.assertEqual(decoded_line, ("info", "Token: []"))
        self.assertTrue(parse_error[1].startswith("Failed to parse payload data, error [[json.exception.parse_error"))
        self.assertEqual(driver_line, ("error", "Failed to decode base64 token. Continuing with installation."))


if __name__ == "__main__":
    unittest.main()
