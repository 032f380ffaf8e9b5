// The string tables as built (English inside KelvraInstaller.exe, one resource-only
// DLL per culture, every key in each), and a culture's text found through its fallbacks.
#include "platform/localized_strings.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "frontend_strings.h"
#include "support/temp_folder.h"

using namespace kelvra::base;
using namespace kelvra::frontend;

namespace {

const std::wstring kStaged = KELVRA_TEST_STAGED_DIR;

std::wstring dllPath(const std::wstring& culture) {
  return kStaged + L"/" + culture + L"/KelvraWebInstaller.resources.dll";
}

unsigned idOf(std::wstring_view key) {
  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    if (key == entry.key) return entry.id;
  }
  return 0;
}

// The string with id in module, empty when there is none.
std::wstring loadString(HMODULE module, unsigned id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

ScopedModule dataModule(const std::wstring& path) {
  return ScopedModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

// The culture's own text of a key, straight from its table; English without one.
std::wstring tableText(const std::wstring& culture, unsigned id) {
  return loadString(dataModule(culture.empty() ? kStaged + L"/KelvraInstaller.exe" : dllPath(culture)).get(), id);
}

// A text that Spain's and Mexico's tables word differently.
const unsigned kLabelWaitEndId = idOf(L"labelWaitEnd");

std::multiset<std::string> placeholders(const std::wstring& text) {
  const std::string utf8 = toUtf8(text);
  const std::regex placeholder(R"(\{\d+\})");
  std::multiset<std::string> found;
  for (auto it = std::sregex_iterator(utf8.begin(), utf8.end(), placeholder); it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::set<WORD>*>(found)->insert(language);
  return TRUE;
}

std::wstring versionValue(const std::wstring& path, const std::wstring& name) {
  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT size = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size) ||
      size < sizeof *translation) {
    return {};
  }
  wchar_t query[64];
  swprintf(query, 64, L"\\StringFileInfo\\%04X%04X\\", translation->language, translation->codePage);
  wchar_t* value = nullptr;
  if (!VerQueryValueW(block.data(), (query + name).c_str(), reinterpret_cast<void**>(&value), &size)) return {};
  return value;
}

const std::map<std::wstring, std::wstring>& englishTexts() {
  static const std::map<std::wstring, std::wstring> texts{
      {L"zavKelvra", L"ZAV Kelvra Web Installer"},
      {L"windowName", L"{0} - ZAV Kelvra Web Installer"},
      {L"labelWelcome", L"Initializing..."},
      {L"labelWaitEnd", L"Waiting for installation to start..."},
      {L"labelDownloadSize", L"Downloading ZAV Kelvra - {0} {2} of {1} {2}"},
      {L"size", L"MB"},
      {L"speedBs", L"b/s"},
      {L"speedKbs", L"kB/s"},
      {L"speedMbs", L"MB/s"},
      {L"timeHours", L"h"},
      {L"timeMinutes", L"m"},
      {L"timeSeconds", L"s"},
      {L"buttonDownloadAbort", L"Abort"},
      {L"buttonErrorExit", L"Exit"},
      {L"exitMsgTitle", L"Abort confirmation"},
      {L"exitMsgQuestion", L"Download still in progress. Are you sure you want to quit?"},
      {L"errorOutdated", L"This web installer is out of date. Please download the most recent version."},
      {L"errorConnection", L"Unable to connect to ZAVsoft. Please check your internet connection."},
      {L"errorDownloadFail",
       L"Failed to download necessary files. Please check your internet connection and try again."},
      {L"errorSpace", L"Not enough disk space to perform the installation. At least 200 MB are required."},
      {L"errorUnexpected",
       L"Something went wrong. Please try to download the installer again, if the problem persists "
       L"contact " KELVRA_TEST_SUPPORT_SITE},
      {L"errorOutdated_link", L"[Support Article]"},
      {L"errorConnection_link", L"[Support Article]"},
      {L"errorDownloadFail_link", L"[Support Article]"},
      {L"errorUnexpected_link", L"[Support Article]"},
      {L"errorOutdated_url", KELVRA_TEST_ARTICLE_OUTDATED_URL},
      {L"errorConnection_url", KELVRA_TEST_ARTICLE_CONNECTION_URL},
      {L"errorDownloadFail_url", KELVRA_TEST_ARTICLE_DOWNLOAD_FAIL_URL},
      {L"errorUnexpected_url", KELVRA_TEST_ARTICLE_UNEXPECTED_URL},
  };
  return texts;
}

}  // namespace

TEST(FrontEndStringsTest, KeysAreTheEnglishTablesAndNothingElse) {
  std::set<std::wstring> keys;
  std::set<unsigned> ids;
  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    keys.insert(entry.key);
    ids.insert(entry.id);
  }
  EXPECT_EQ(ids.size(), std::size(kFrontEndStringKeys));
  std::set<std::wstring> expected;
  for (const auto& [key, text] : englishTexts()) expected.insert(key);
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(keys.count(L"errorSpace_url"), 0u);
  EXPECT_EQ(keys.count(L"errorSpace_link"), 0u);
}

TEST(FrontEndStringsTest, EnglishIsBuiltIntoTheFrontEnd) {
  const ScopedModule frontEnd = dataModule(kStaged + L"/KelvraInstaller.exe");
  ASSERT_NE(frontEnd.get(), nullptr) << GetLastError();
  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    EXPECT_EQ(toUtf8(loadString(frontEnd.get(), entry.id)), toUtf8(englishTexts().at(entry.key))) << toUtf8(entry.key);
  }
  EXPECT_EQ(versionValue(kStaged + L"/KelvraInstaller.exe", L"InternalName"), L"KelvraWebInstaller");
}

struct CultureCase {
  const wchar_t* culture;
  WORD language;
  const wchar_t* exitButton;
};

class CultureStringsTest : public ::testing::TestWithParam<CultureCase> {};

TEST_P(CultureStringsTest, DllLoadsWithoutCodeAndTranslatesEveryKey) {
  const CultureCase& test = GetParam();
  const std::wstring path = dllPath(test.culture);
  // Loaded as an image, not as data: the loader accepts it as a DLL.
  const ScopedModule dll(LoadLibraryExW(path.c_str(), nullptr, 0));
  ASSERT_NE(dll.get(), nullptr) << GetLastError();
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(dll.get());
  // The loader maps only DLLs of its own architecture as images: this build's headers.
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(dos) + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u);
  EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.Size != 0) {
    const auto* first =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(reinterpret_cast<const char*>(dos) + imports.VirtualAddress);
    EXPECT_EQ(first->Name, 0u) << "the DLL imports something";
  }

  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    SCOPED_TRACE(toUtf8(entry.key));
    const std::wstring text = loadString(dll.get(), entry.id);
    const std::wstring& english = englishTexts().at(entry.key);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(placeholders(text), placeholders(english));
    if (std::wstring_view(entry.key).ends_with(L"_url")) {
      EXPECT_EQ(text, english);
    }
    if (std::wstring_view(entry.key) == L"errorUnexpected") {
      EXPECT_NE(text.find(KELVRA_TEST_SUPPORT_SITE), std::wstring::npos);
    }
  }
  EXPECT_EQ(toUtf8(loadString(dll.get(), idOf(L"buttonErrorExit"))), toUtf8(test.exitButton));

  std::set<WORD> languages;
  // Strings are stored in blocks of 16; block n holds ids 16 (n - 1) to 16 n - 1.
  EnumResourceLanguagesW(dll.get(), RT_STRING, MAKEINTRESOURCEW(idOf(L"zavKelvra") / 16 + 1), collectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::set<WORD>{test.language});
  EXPECT_EQ(versionValue(path, L"InternalName"), L"KelvraWebInstaller.resources");
}

INSTANTIATE_TEST_SUITE_P(
    Cultures, CultureStringsTest,
    ::testing::Values(CultureCase{L"pt-BR", 0x0416, L"Sair"}, CultureCase{L"zh", 0x0804, L"退出"},
                      CultureCase{L"fr", 0x040C, L"Quitter"}, CultureCase{L"de", 0x0407, L"Beenden"},
                      CultureCase{L"pl", 0x0415, L"Zakończ"}, CultureCase{L"ru", 0x0419, L"Выход"},
                      CultureCase{L"zh-Hant", 0x0404, L"結束"}, CultureCase{L"ja", 0x0411, L"終了"},
                      CultureCase{L"ko", 0x0412, L"종료"}, CultureCase{L"es", 0x0C0A, L"Salir"},
                      CultureCase{L"es-MX", 0x080A, L"Salir"}, CultureCase{L"it", 0x0410, L"Esci"}),
    [](const ::testing::TestParamInfo<CultureCase>& info) {
      std::string name = toUtf8(info.param.culture);
      name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
      return name;
    });

TEST(LocalizedStringsTest, FallsBackFromTheCultureToItsParentsThenEnglish) {
  const ScopedModule english = dataModule(kStaged + L"/KelvraInstaller.exe");
  ASSERT_NE(english.get(), nullptr);
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"de-DE", L"de"}, {L"de-AT", L"de"}, {L"ja-JP", L"ja"},      {L"pt-BR", L"pt-BR"}, {L"es-MX", L"es-MX"},
      {L"es-AR", L"es"}, {L"es-ES", L"es"}, {L"zh-TW", L"zh-Hant"}, {L"zh-CN", L"zh"},    {L"fr-CA", L"fr"},
      {L"pt-PT", L""},   {L"en-US", L""},   {L"sv-SE", L""},        {L"", L""},
  };
  for (const auto& [culture, table] : cases) {
    SCOPED_TRACE(toUtf8(culture));
    const LocalizedStrings strings(english.get(), kStaged, culture);
    const std::wstring expected = tableText(table, kLabelWaitEndId);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(strings.get(L"labelWaitEnd"), expected);
  }
  // The tables differ where the test relies on it.
  EXPECT_NE(tableText(L"es", kLabelWaitEndId), tableText(L"es-MX", kLabelWaitEndId));
}

TEST(LocalizedStringsTest, KeysWithoutAStringYieldNothing) {
  const ScopedModule english = dataModule(kStaged + L"/KelvraInstaller.exe");
  const LocalizedStrings strings(english.get(), kStaged, L"de-DE");
  EXPECT_EQ(strings.get(L"errorSpace_url"), L"");
  EXPECT_EQ(strings.get(L"errorSpace_link"), L"");
  EXPECT_EQ(strings.get(L"noSuchKey"), L"");
  EXPECT_FALSE(strings.get(L"errorSpace").empty());
}

TEST(LocalizedStringsTest, AMissingCultureFileFallsToItsParent) {
  const TempFolder folder;
  CreateDirectoryW((folder / L"es").c_str(), nullptr);
  CopyFileW(dllPath(L"es").c_str(), (folder / L"es\\KelvraWebInstaller.resources.dll").c_str(), FALSE);
  const ScopedModule english = dataModule(kStaged + L"/KelvraInstaller.exe");
  const LocalizedStrings strings(english.get(), folder.path(), L"es-MX");
  EXPECT_EQ(strings.loadedCultures(), std::vector<std::wstring>{L"es"});
  EXPECT_EQ(strings.get(L"labelWaitEnd"), tableText(L"es", kLabelWaitEndId));
}
