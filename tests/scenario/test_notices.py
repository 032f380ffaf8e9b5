"""Every notice as a user sees it: caption, body, one OK button, the warning icon."""
import unittest

import winebench as bench

SITE = "https://support.zavsoft.com"
SHOW = bench.BIN / "show_notice.exe"

# Captions as they must read, per UI language (None: the notice shows English).
CAPTIONS = {
    "en_US.UTF-8": ("This Version of Windows is Not Supported", ".NET Framework Not Found",
                    "Installer Already Running", "Installation Error", "Installation Failed"),
    "de_DE.UTF-8": ("Diese Version von Windows wird nicht unterstützt.", ".NET Framework nicht gefunden",
                    "Installationsprogramm läuft bereits", "Fehler bei der Installation",
                    "Installation fehlgeschlagen"),
    "pt_BR.UTF-8": ("Esta versão do Windows não é suportada", ".NET Framework não encontrado",
                    "Instalador já está em execução", "Erro de instalação", "A Instalação falhou"),
    "es_MX.UTF-8": (None, ".NET Framework no encontrado", "El instalador ya se está ejecutando",
                    "Error de instalación", "Instalación fallida"),
    "zh-Hant": (None, "找不到.NET Framework檔案", "安裝程式運行中", "安裝錯誤", "安裝失敗"),
}
NOTICES = ("unsupported-windows", "net-missing", "already-running", "installation-error", "start-failure")
ENGLISH_BODIES = {
    "unsupported-windows": "ZAV Kelvra requires Windows 7 SP1 or newer.",
    "net-missing": f"ZAV Kelvra Web Installer requires .NET Framework to proceed. Contact {SITE} for assistance.",
    "already-running": "Another ZAV Kelvra installer is already running. Please close the previous installation "
                       "or wait for it to finish.",
    "installation-error": f"Something went wrong while installing ZAV Kelvra. Please try again or contact {SITE}",
    "start-failure": f"ZAV Kelvra Web Installer failed to initialize. Contact {SITE} for assistance. "
                     "Error code: 5.",
}


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
    def test_every_notice_in_every_tested_language(self):
        for locale, captions in CAPTIONS.items():
            for notice, caption in zip(NOTICES, captions):
                with self.subTest(locale=locale, notice=notice):
                    seen = show(notice, locale)
                    # One OK button (its text is the system's, in the user's language).
                    self.assertEqual([b["id"] for b in seen.buttons], [1])
                    self.assertTrue(seen.warning_icon)
                    self.assertFalse(seen.owned)
                    if caption is None:
                        self.assertEqual(seen.caption, CAPTIONS["en_US.UTF-8"][NOTICES.index(notice)])
                        self.assertEqual(seen.body, ENGLISH_BODIES[notice])
                        continue
                    self.assertEqual(seen.caption, caption)
                    if locale == "en_US.UTF-8":
                        self.assertEqual(seen.body, ENGLISH_BODIES[notice])
                    else:
                        self.assertNotEqual(seen.body, ENGLISH_BODIES[notice])
                    names_site = notice in ("net-missing", "installation-error", "start-failure")
                    self.assertEqual(SITE in seen.body, names_site, seen.body)
                    self.assertEqual(f"{SITE}/hc/de" in seen.body, names_site and locale == "de_DE.UTF-8")
                    if notice == "start-failure":
                        self.assertIn("5", seen.body)
                        self.assertNotIn("{", seen.body)

    def test_fallbacks_to_english(self):
        # Dutch and European Portuguese have no texts; Mexican Spanish borrows Spain's.
        for locale in ("nl_NL.UTF-8", "pt_PT.UTF-8"):
            with self.subTest(locale=locale):
                seen = show("already-running", locale)
                self.assertEqual(seen.caption, "Installer Already Running")
                self.assertEqual(seen.body, ENGLISH_BODIES["already-running"])
        spain = show("net-missing", "es_ES.UTF-8")
        mexico = show("net-missing", "es_MX.UTF-8")
        self.assertEqual((spain.caption, spain.body), (mexico.caption, mexico.body))
        self.assertNotEqual(show("installation-error", "es_ES.UTF-8").body,
                            show("installation-error", "es_MX.UTF-8").body)
        # Taiwan's LANGID selects Simplified Chinese; only 0x7C04 selects Traditional.
        self.assertEqual(show("installation-error", "zh_TW.UTF-8").caption, "安装错误")

    def test_start_failure_codes_are_signed_decimals(self):
        self.assertTrue(show("start-failure", "en_US.UTF-8", "5").body.endswith("Error code: 5."))
        self.assertTrue(show("start-failure", "en_US.UTF-8", "0x80070005").body.endswith("Error code: -2147024891."))


if __name__ == "__main__":
    unittest.main()
