#include "notices/message_catalogue.h"

#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "build_settings.h"

using namespace kelvra::notices;

namespace {

constexpr Notice kAllNotices[] = {Notice::unsupportedWindows, Notice::netMissing, Notice::alreadyRunning,
                                  Notice::installationError, Notice::startFailure};
constexpr int kAllCodes[] = {4, 7, 9, 10, 12, 16, 17, 18, 21, 25, 1046, 2058, 31748};

std::size_t count(std::wstring_view text, std::wstring_view part) {
  std::size_t found = 0;
  for (auto at = text.find(part); at != std::wstring_view::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

}  // namespace

TEST(MessageCatalogue, UncoveredCodesShowEnglish) {
  const NoticeText english = noticeText(Notice::unsupportedWindows, 9);
  EXPECT_EQ(english.title, L"This Version of Windows is Not Supported");
  EXPECT_EQ(english.body, L"ZAV Kelvra requires Windows 7 SP1 or newer.");
  for (int code : {10, 2058, 16, 17, 18, 31748, 2070, 0x13}) {
    EXPECT_EQ(noticeText(Notice::unsupportedWindows, code).title, english.title) << code;
  }
  EXPECT_EQ(noticeText(Notice::startFailure, 2070).title, L"Installation Failed");
}

TEST(MessageCatalogue, CaptionsReadExactlyAndCoveredLanguagesHaveBodiesOfTheirOwn) {
  // In the order of kAllNotices; nullptr: that notice shows in English.
  const struct {
    int code;
    const wchar_t* captions[5];
  } cases[] = {
      {9,
       {L"This Version of Windows is Not Supported", L".NET Framework Not Found", L"Installer Already Running",
        L"Installation Error", L"Installation Failed"}},
      {7,
       {L"Diese Version von Windows wird nicht unterstützt.", L".NET Framework nicht gefunden",
        L"Installationsprogramm läuft bereits", L"Fehler bei der Installation", L"Installation fehlgeschlagen"}},
      {1046,
       {L"Esta versão do Windows não é suportada", L".NET Framework não encontrado", L"Instalador já está em execução",
        L"Erro de instalação", L"A Instalação falhou"}},
      {2058,
       {nullptr, L".NET Framework no encontrado", L"El instalador ya se está ejecutando", L"Error de instalación",
        L"Instalación fallida"}},
      {4, {L"不支持当前版本的Windows", L"没有找到.NET Framework文件", L"安装程式运行中", L"安装错误", L"安装失败"}},
      {31748, {nullptr, L"找不到.NET Framework檔案", L"安裝程式運行中", L"安裝錯誤", L"安裝失敗"}},
      // Portugal's whole LANGID: no texts of its own, and not Brazil's.
      {2070, {nullptr, nullptr, nullptr, nullptr, nullptr}},
  };
  for (const auto& c : cases) {
    for (std::size_t i = 0; i < std::size(kAllNotices); ++i) {
      SCOPED_TRACE(::testing::Message() << c.code << " / " << i);
      const NoticeText text = noticeText(kAllNotices[i], c.code);
      const NoticeText english = noticeText(kAllNotices[i], 9);
      if (c.captions[i] == nullptr) {
        EXPECT_EQ(text.title, english.title);
        EXPECT_EQ(text.body, english.body);
      } else {
        EXPECT_EQ(text.title, c.captions[i]);
        EXPECT_EQ(text.body == english.body, c.code == 9);
      }
    }
  }
}

TEST(MessageCatalogue, MexicanSpanishBorrowsAndOwnsWhereItShould) {
  for (Notice shared : {Notice::netMissing, Notice::alreadyRunning}) {
    EXPECT_EQ(noticeText(shared, 2058).body, noticeText(shared, 10).body);
    EXPECT_EQ(noticeText(shared, 2058).title, noticeText(shared, 10).title);
  }
  for (Notice own : {Notice::installationError, Notice::startFailure}) {
    EXPECT_NE(noticeText(own, 2058).body, noticeText(own, 10).body);
    EXPECT_EQ(noticeText(own, 2058).title, noticeText(own, 10).title);
  }
}

TEST(MessageCatalogue, BodiesKeepTheirTraitsInEveryLanguage) {
  const std::wstring site = KELVRA_SUPPORT_SITE;
  for (Notice notice : kAllNotices) {
    for (int code : kAllCodes) {
      const NoticeText text = noticeText(notice, code);
      SCOPED_TRACE(::testing::Message() << static_cast<int>(notice) << " / " << code);
      EXPECT_FALSE(text.title.empty());
      const std::size_t placeholders = count(text.body, L"{}");
      const std::size_t braces = count(text.body, L"{") + count(text.body, L"}");
      if (notice == Notice::startFailure) {
        EXPECT_EQ(placeholders, 1u);
        EXPECT_EQ(braces, 2u);
      } else {
        EXPECT_EQ(braces, 0u);
      }
      const bool namesSite =
          notice == Notice::netMissing || notice == Notice::installationError || notice == Notice::startFailure;
      EXPECT_EQ(count(text.body, site), namesSite ? 1u : 0u);
      EXPECT_EQ(count(text.body, site + L"/hc/de"), namesSite && code == 7 ? 1u : 0u);
      EXPECT_EQ(count(text.body, L"http"), namesSite ? 1u : 0u);
    }
  }
}

TEST(MessageCatalogue, EnglishBodiesReadExactly) {
  const std::wstring site = KELVRA_SUPPORT_SITE;
  EXPECT_EQ(noticeText(Notice::netMissing, 9).body,
            L"ZAV Kelvra Web Installer requires .NET Framework to proceed. Contact " + site + L" for assistance.");
  EXPECT_EQ(noticeText(Notice::installationError, 9).body,
            L"Something went wrong while installing ZAV Kelvra. Please try again or contact " + site);
  EXPECT_EQ(noticeText(Notice::startFailure, 9).body,
            L"ZAV Kelvra Web Installer failed to initialize. Contact " + site + L" for assistance. Error code: {}.");
  EXPECT_EQ(noticeText(Notice::alreadyRunning, 9).body,
            L"Another ZAV Kelvra installer is already running. Please close the previous installation or wait for it "
            L"to finish.");
}

TEST(MessageCatalogue, RussianFailuresShareOneCaption) {
  EXPECT_EQ(noticeText(Notice::installationError, 25).title, L"Ошибка установки");
  EXPECT_EQ(noticeText(Notice::startFailure, 25).title, L"Ошибка установки");
}
