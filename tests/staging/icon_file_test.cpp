// Staging against resources chosen per case: each staging_case_<name>.exe (tests/tools)
// runs one step on its own resources, as the bootstrapper does, and this test looks
// at what it left and logged.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf8.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kelvra::base;

namespace {

std::wstring besideThisProgram(const std::wstring& name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

// "[level] message" for each line of a log file.
std::vector<std::string> logMessages(const std::wstring& path) {
  std::vector<std::string> messages;
  for (std::string line : splitLines(readFileBytes(path))) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t level = line.find("] [", line.find("] [") + 1);
    messages.push_back(level == std::string::npos ? line : line.substr(level + 2));
  }
  return messages;
}

std::string bytes(std::initializer_list<int> values) {
  std::string result;
  for (const int value : values) result.push_back(static_cast<char>(value));
  return result;
}

class StagingCaseTest : public ::testing::Test {
 protected:
  TempFolder folder;
  std::wstring logPath = folder / L"case.log";
  std::wstring working = folder / L"KelvraInstaller_abcde";

  void SetUp() override { ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr)); }

  // Runs staging_case_<variant>.exe; returns its exit code.
  DWORD runCase(const std::wstring& variant, const std::wstring& operation, const std::wstring& target) {
    const std::wstring program = besideThisProgram(L"staging_case_" + variant + L".exe");
    std::wstring commandLine =
        L"\"" + program + L"\" \"" + logPath + L"\" " + operation + L" \"" + target + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      ADD_FAILURE() << "cannot start " << toUtf8(program) << ": " << GetLastError();
      return 99;
    }
    CloseHandle(process.hThread);
    DWORD exitCode = 99;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return exitCode;
  }

  std::vector<std::string> messages() const { return logMessages(logPath); }
};

}  // namespace

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
  EXPECT_EQ(messages(), std::vector<std::string>{"[error] Failed to create file mapping for file [" +
                                                 toUtf8(frontEnd) + "]. Error code 1006."});
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
  EXPECT_EQ(logged[4], "[error] Resource does not inflate to its recorded size; the download is damaged. "
                       "Resource id: 139.");
}

struct IconCase {
  const char* name;
  const wchar_t* variant;
  DWORD exitCode;
  bool fileWritten;
  std::string fileBytes;
  std::string lastMessage;
};

class IconCaseTest : public StagingCaseTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(IconCaseTest, WritesWhatTheGroupAllowsAndNamesTheCause) {
  const IconCase& test = GetParam();
  const std::wstring icon = working + L"\\icon.ico";
  EXPECT_EQ(runCase(test.variant, L"icon", icon), test.exitCode);
  EXPECT_EQ(fileExists(icon), test.fileWritten);
  if (test.fileWritten) {
    EXPECT_EQ(readFileBytes(icon), test.fileBytes);
  }
  const auto logged = messages();
  ASSERT_FALSE(logged.empty());
  EXPECT_EQ(logged.front(), "[info] Extracting icon resources.");
  EXPECT_EQ(logged.back(), test.lastMessage);
  EXPECT_LE(logged.size(), 2u);
}

// Header, then 16-byte entries: edge, edge, 0, 0, planes 1, 32 bits, size, offset.
INSTANTIATE_TEST_SUITE_P(
    Groups, IconCaseTest,
    ::testing::Values(
        IconCase{"NoImagesGiveTheBareHeader", L"gaps", 0, true, bytes({0, 0, 1, 0, 0, 0}),
                 "[info] Extracting icon resources."},
        IconCase{"AbsentImageIsFoundMissingAfterTheDirectory", L"absent_image", 1, true,
                 bytes({0, 0, 1, 0, 3, 0,                                       //
                        16, 16, 0, 0, 1, 0, 32, 0, 8, 0, 0, 0, 54, 0, 0, 0,    //
                        24, 24, 0, 0, 1, 0, 32, 0, 8, 0, 0, 0, 62, 0, 0, 0,    //
                        32, 32, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0, 70, 0, 0, 0}) +
                     "image-01",
                 "[error] Failed to find resource. Resource id: 9."},
        IconCase{"SizeDisagreeingWithTheImageStopsBeforeItsBytes", L"size_mismatch", 1, true,
                 bytes({0, 0, 1, 0, 2, 0,                                       //
                        16, 16, 0, 0, 1, 0, 32, 0, 8, 0, 0, 0, 38, 0, 0, 0,    //
                        24, 24, 0, 0, 1, 0, 32, 0, 12, 0, 0, 0, 46, 0, 0, 0}) +
                     "image-01",
                 "[error] Icon image has [4] bytes, its group entry says [12]. Resource id: 2."},
        IconCase{"GroupShorterThanItsCountCreatesNoFile", L"short_group", 1, false, "",
                 "[error] Icon group of [20] bytes is too short for its [2] images. Resource id: 132."}),
    [](const ::testing::TestParamInfo<IconCase>& info) { return std::string(info.param.name); });
