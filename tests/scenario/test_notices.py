"""The notices as a user sees them under Wine: the message box itself (one OK
button, the warning icon, no owner), the UI language reaching the text choice, and
the start-failure notice's error code. Every text in every language is held by the
unit tests (tests/notices/notices_test.cpp); here a few runs show that the real box
and the real UI language carry them."""
import unittest

import winebench as bench

SITE = "https://support.zavsoft.com"
SHOW = bench.BIN / "show_notice.exe"


def show(notice, locale, code="5"):
    """Shows a notice through the product's code; Traditional Chinese needs its LANGID set."""
    args = [SHOW]
    if locale == "zh-Hant":
        args += ["--ui-language", "0x7C04"]
        locale = "en_US.UTF-8"
    args += [notice, code]
    exit_code, seen, _ = bench.run_with_notice_watch(args, locale=locale, timeout=60)
    assert exit_code == 0, exit_code
    assert seen is not None, f"no message box for {notice}"
    return seen


class NoticeTest(unittest.TestCase):
    def assertWarningBox(self, seen):
        # One OK button (its text is the system's, in the user's language).
        self.assertEqual([b["id"] for b in seen.buttons], [1])
        self.assertTrue(seen.warning_icon)
        self.assertFalse(seen.owned)

    def test_the_ui_language_chooses_the_text_of_a_warning_box(self):
        cases = [  # notice, locale, caption, body
            ("installation-error", "de_DE.UTF-8", "Fehler bei der Installation",
             "Bei der Installation von ZAV Kelvra ist ein Fehler aufgetreten. Bitte versuchen Sie es erneut oder "
             f"wenden Sie sich an {SITE}/hc/de"),
            ("net-missing", "zh-Hant", "找不到.NET Framework檔案",
             f"ZAV Kelvra 網路安裝程式需要 .NET Framework 才能繼續。如需協助，請聯絡 {SITE}。"),
            # Portugal's LANGID has no texts (only Brazil's has): English.
            ("already-running", "pt_PT.UTF-8", "Installer Already Running",
             "Another ZAV Kelvra installer is already running. Please close the previous installation or wait for "
             "it to finish."),
        ]
        for notice, locale, caption, body in cases:
            with self.subTest(locale=locale, notice=notice):
                seen = show(notice, locale)
                self.assertWarningBox(seen)
                self.assertEqual((seen.caption, seen.body), (caption, body))

    def test_start_failure_codes_are_signed_decimals(self):
        seen = show("start-failure", "en_US.UTF-8", "0x80070005")
        self.assertWarningBox(seen)
        self.assertEqual((seen.caption, seen.body), (
            "Installation Failed",
            f"ZAV Kelvra Web Installer failed to initialize. Contact {SITE} for assistance. "
            "Error code: -2147024891."))


if __name__ == "__main__":
    unittest.main()
