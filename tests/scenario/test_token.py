"""A bootstrapper stamped by kelvra-stamp, run under Wine: the token lines in its log."""
import base64
import json
import os
import pathlib
import shutil
import subprocess
import unittest

import winebench as bench

STAMP = pathlib.Path(os.environ.get("KELVRA_STAMP_TOOL", bench.BUILD / "host" / "bin" / "kelvra-stamp"))
CAMPAIGN = {"login_parameters": "lp=01234", "campaign": {"source": "mail", "name": "Grüße", "id": 7}}


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
        compact = json.dumps(CAMPAIGN, separators=(",", ":"), ensure_ascii=False)
        token = base64.b64encode(compact.encode()).decode()

        shown = self.stamp("--show", stamped)
        self.assertEqual(shown.returncode, 0)
        sorted_compact = json.dumps(CAMPAIGN, separators=(",", ":"), ensure_ascii=False, sort_keys=True)
        self.assertEqual(shown.stdout.decode(), f"token ({len(token)} bytes): {token}\ndecoded: {sorted_compact}\n")

        code, _, lines = bench.run_with_notice_watch([stamped])
        messages = bench.Run(code, None, lines).messages
        start = messages.index(("info", "Has token. Try to read it"))
        self.assertEqual(messages[start + 1:start + 3], [("info", f"Token size: [{len(token)}]"),
                                                         ("info", f"Succeeded to read token: [{token}]")])
        self.assertNotIn(("error", "Failed at reading token."), messages)
        raw, decoded_line, decoded, campaign = payload_lines(messages)
        self.assertEqual(decoded_line, ("info", f"Token: [{compact}]"))
        self.assertEqual(decoded, ("info", f"Decoded token: [{sorted_compact}]"))
        self.assertTrue(campaign[1].endswith("\\payload.campaign]"), campaign)

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
