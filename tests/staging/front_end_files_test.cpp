// The front end and its translations staged from the real resources linked in here (the
// files, the log, the staged front end run) and from resources chosen per case.
#include "staging/front_end_files.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "contract/log_location.h"
#include "staging/staging_test.h"
#include "tools/front_end_window.h"

using namespace kelvra::base;
using namespace kelvra::staging;

namespace {

// The stored resource is packed: smaller than what it stages, and not it.
void expectPackedResourceOf(std::uint16_t id, const std::string& staged) {
  const std::string stored = resourceBytes(id, kRawDataResourceType);
  EXPECT_EQ(stored.substr(0, 4), "KZ01");
  EXPECT_LT(stored.size(), staged.size());
}

std::string dumpingLine(const std::wstring& workingFolder, const wchar_t* culture) {
  return "[info] Dumping translation file of language [" + toUtf8(culture) + "], path [" +
         toUtf8(workingFolder + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll") + "]";
}

// Closes the front end once it has settled on a page: a close while it still
// starts up is asked about, declined here, and tried again.
bool closeWhenSettled(HWND frontEnd, HANDLE process) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (answerQuestion(frontEnd, IDNO)) {
      Sleep(300);
      continue;
    }
    PostMessageW(frontEnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 500) == WAIT_OBJECT_0) return true;
  }
  return false;
}

}  // namespace

TEST_F(StagingTest, EveryStagedFileIsItsResourceByteForByte) {
  std::wstring frontEndPath;
  ASSERT_FALSE(stage(frontEndPath));
  EXPECT_EQ(frontEndPath, working + L"\\KelvraInstaller.exe");

  const std::string frontEnd = readFileBytes(frontEndPath);
  EXPECT_EQ(frontEnd.substr(0, 2), "MZ");
  // The build's own front end, byte for byte, though its resource is packed.
  EXPECT_EQ(frontEnd, readFileBytes(KELVRA_TEST_STAGED_DIR L"/KelvraInstaller.exe"));
  expectPackedResourceOf(129, frontEnd);
  const std::string image = readFileBytes(working + L"\\icon.png");
  EXPECT_EQ(image.substr(1, 3), "PNG");
  EXPECT_EQ(image, readFileBytes(KELVRA_TEST_SOURCE_DIR L"/resources/icon.png"));
  EXPECT_EQ(resourceBytes(133, kRawDataResourceType).substr(0, 4), "KZ01");
  EXPECT_EQ(readFileBytes(working + L"\\KelvraInstaller.exe.config"),
            "<configuration>\n<startup>\n<supportedRuntime version = \"v4.0\"/>\n"
            "<supportedRuntime version = \"v2.0.50727\"/>\n</startup>\n</configuration>\n");
  EXPECT_EQ(readFileBytes(working + L"\\KelvraInstaller.exe.config").size(), 134u);

  for (const TranslationRow& row : kTranslationTable) {
    SCOPED_TRACE(toUtf8(row.culture));
    EXPECT_TRUE(isFolder(working + L"\\" + row.culture));
    const std::string staged = readFileBytes(working + L"\\" + row.culture + L"\\KelvraWebInstaller.resources.dll");
    EXPECT_EQ(staged.substr(0, 2), "MZ");
    expectPackedResourceOf(row.resourceId, staged);
    // The culture's own DLL: a mix-up of ids would stage another language here.
    EXPECT_EQ(staged, readFileBytes(std::wstring(KELVRA_TEST_STAGED_DIR L"/") + row.culture +
                                    L"/KelvraWebInstaller.resources.dll"));
  }
  // Our icon file lays its images out exactly as the staged one must.
  EXPECT_EQ(readFileBytes(working + L"\\icon.ico"),
            readFileBytes(KELVRA_TEST_SOURCE_DIR L"/resources/application.ico"));
}

TEST_F(StagingTest, LogShowsTheTranslationsInTableOrderThenTheIcon) {
  std::wstring frontEndPath;
  ASSERT_FALSE(stage(frontEndPath));
  std::vector<std::string> expected{"[info] Dumping translation files."};
  for (const wchar_t* culture :
       {L"pt-BR", L"zh", L"fr", L"de", L"pl", L"ru", L"zh-Hant", L"ja", L"ko", L"es", L"es-MX", L"it"}) {
    expected.push_back(dumpingLine(working, culture));
  }
  expected.push_back("[info] Extracting icon resources.");
  EXPECT_EQ(log.messages(), expected);
}

TEST_F(StagingTest, ExistingCultureFolderStopsTheWalkThere) {
  ASSERT_TRUE(CreateDirectoryW((working + L"\\de").c_str(), nullptr));
  EXPECT_TRUE(writeTranslationFiles(extractor, working));
  for (const wchar_t* culture : {L"pt-BR", L"zh", L"fr"}) {
    EXPECT_TRUE(fileExists(working + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll")) << toUtf8(culture);
  }
  EXPECT_FALSE(fileExists(working + L"\\de\\KelvraWebInstaller.resources.dll"));
  EXPECT_TRUE(isFolder(working + L"\\de"));
  EXPECT_FALSE(fileExists(working + L"\\pl"));
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[4], dumpingLine(working, L"de"));
  EXPECT_EQ(messages[5], "[error] Creating directory [" + toUtf8(working) + "\\de] failed. Error code 183.");
}

TEST_F(StagingTest, FrontEndPathIsSetEvenWhenItsWriteFails) {
  LoadedResource frontEnd;
  LoadedResource image;
  ASSERT_FALSE(extractor.loadResource(frontEnd, kFrontEndResourceId, kRawDataResourceType));
  ASSERT_FALSE(extractor.loadResource(image, kImageResourceId, kRawDataResourceType));
  const std::wstring missing = working + L"\\missing";
  std::wstring frontEndPath;
  EXPECT_TRUE(writeFrontEndFiles(frontEnd, image, missing, frontEndPath));
  EXPECT_EQ(frontEndPath, missing + L"\\KelvraInstaller.exe");
  EXPECT_EQ(log.messages(),
            std::vector<std::string>{"[error] Failed to create file [" + toUtf8(frontEndPath) + "]. Error code 3."});
}

TEST_F(StagingTest, StagedFrontEndOpensItsWindowWithTheStagedIconsAndEndsWithZeroWhenClosed) {
  std::wstring frontEndPath;
  ASSERT_FALSE(stage(frontEndPath));
  // The front end's own log tells whether it could load the staged icon.ico.
  const LogTail frontEndLog(std::wstring(kelvra::contract::kLogFolderPath) + L"InstallerWebinstaller.log");
  const ChildProcess frontEnd = startProcess(L"\"" + frontEndPath + L"\"", working.c_str());
  ASSERT_TRUE(frontEnd.handle) << GetLastError();

  const HWND window = waitForWindow(L"ZAV Kelvra Web Installer", frontEnd.id, 30000);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(closeWhenSettled(window, frontEnd.handle.get()));
  DWORD exitCode = 99;
  GetExitCodeProcess(frontEnd.handle.get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
  if (exitCode == STILL_ACTIVE) TerminateProcess(frontEnd.handle.get(), 1);
  // Its window took its icons from the staged file, PNG images and all.
  const std::string logged = frontEndLog.text();
  EXPECT_NE(logged.find("] [information] Loading icon file: "), std::string::npos);
  EXPECT_EQ(logged.find("Could not load the icon file"), std::string::npos) << logged;
}

TEST_F(StagingCaseTest, MissingTranslationStopsTheWalkAtItsRow) {
  EXPECT_EQ(runCase(L"gaps", L"translations", working), 1u);
  const std::vector<std::wstring> written{L"pt-BR", L"zh", L"fr", L"de", L"pl", L"ru"};
  for (const std::wstring& culture : written) {
    EXPECT_EQ(readFileBytes(working + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll"),
              toUtf8(culture) + " translation");
  }
  for (const wchar_t* culture : {L"zh-Hant", L"ja", L"ko", L"es", L"es-MX", L"it"}) {
    EXPECT_FALSE(fileExists(working + L"\\" + culture)) << toUtf8(culture);
  }
  const auto logged = messages();
  ASSERT_EQ(logged.size(), 9u);
  EXPECT_EQ(logged[0], "[info] Dumping translation files.");
  EXPECT_EQ(logged[7], "[info] Dumping translation file of language [zh-Hant], path [" + toUtf8(working) +
                           "\\zh-Hant\\KelvraWebInstaller.resources.dll]");
  EXPECT_EQ(logged[8], "[error] Failed to find resource. Resource id: 140.");
}

TEST_F(StagingCaseTest, EmptyFrontEndFailsAtTheMappingAndLeavesAnEmptyFile) {
  EXPECT_EQ(runCase(L"gaps", L"frontend", working), 1u);
  const std::wstring frontEnd = working + L"\\KelvraInstaller.exe";
  EXPECT_TRUE(fileExists(frontEnd));
  EXPECT_EQ(readFileBytes(frontEnd), "");
  EXPECT_FALSE(fileExists(working + L"\\icon.png"));
  EXPECT_FALSE(fileExists(working + L"\\KelvraInstaller.exe.config"));
  EXPECT_EQ(messages(), std::vector<std::string>{"[error] Failed to create file mapping for file [" + toUtf8(frontEnd) +
                                                 "]. Error code 1006."});
}

// A damaged download: whatever way the front end's packed resource is damaged,
// staging stops at it with one line and leaves no file of it behind.
class DamagedFrontEndTest : public StagingCaseTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(DamagedFrontEndTest, StopsWithoutLeavingAHalfWrittenFile) {
  EXPECT_EQ(runCase(GetParam(), L"frontend", working), 1u);
  EXPECT_FALSE(fileExists(working + L"\\KelvraInstaller.exe"));
  EXPECT_FALSE(fileExists(working + L"\\icon.png"));
  EXPECT_FALSE(fileExists(working + L"\\KelvraInstaller.exe.config"));
  EXPECT_EQ(messages(), std::vector<std::string>{"[error] Resource does not inflate to its recorded size; the "
                                                 "download is damaged. Resource id: 129."});
}

// Stream shorter than recorded, longer than recorded, a changed byte, no header.
INSTANTIATE_TEST_SUITE_P(Damage, DamagedFrontEndTest,
                         ::testing::Values(L"damaged_longer", L"damaged_shorter", L"damaged_flipped",
                                           L"damaged_header"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) { return toUtf8(info.param); });

TEST_F(StagingCaseTest, DamagedTranslationStopsTheWalkAtItsRow) {
  EXPECT_EQ(runCase(L"damaged_longer", L"translations", working), 1u);
  for (const std::wstring culture : {L"pt-BR", L"zh"}) {
    EXPECT_EQ(readFileBytes(working + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll"),
              toUtf8(culture) + " translation");
  }
  EXPECT_TRUE(fileExists(working + L"\\fr"));
  EXPECT_FALSE(fileExists(working + L"\\fr\\KelvraWebInstaller.resources.dll"));
  EXPECT_FALSE(fileExists(working + L"\\de"));
  const auto logged = messages();
  ASSERT_EQ(logged.size(), 5u);
  EXPECT_EQ(logged[3], "[info] Dumping translation file of language [fr], path [" + toUtf8(working) +
                           "\\fr\\KelvraWebInstaller.resources.dll]");
  EXPECT_EQ(logged[4],
            "[error] Resource does not inflate to its recorded size; the download is damaged. "
            "Resource id: 139.");
}
