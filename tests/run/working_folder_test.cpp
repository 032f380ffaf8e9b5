#include "run/working_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>

#include "base/utf8.h"
#include "support/file_contents.h"
#include "support/scoped_environment.h"
#include "support/temp_folder.h"
#include "support/test_log.h"
#include "run/working_folder_internal.h"

using namespace kelvra::base;
using namespace kelvra::run;

namespace {

// Creates a folder even past MAX_PATH, as someone else's program might.
void makeFolder(const std::wstring& path) {
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr)) << GetLastError();
}

bool exists(const std::wstring& path) { return fileExists(L"\\\\?\\" + path); }

// "C:\\ttt...\\" of exactly length characters, the form GetTempPathW returns.
std::wstring tempPathOfLength(std::size_t length) { return L"C:\\" + std::wstring(length - 4, L't') + L"\\"; }

class WorkingFolderTest : public ::testing::Test {
 protected:
  TempFolder folder;
  TestLog log{folder};
};

}  // namespace

TEST_F(WorkingFolderTest, NameIsTheTempFolderAndFiveLetters) {
  wchar_t temp[MAX_PATH];
  const std::wstring tempPath(temp, GetTempPathW(MAX_PATH, temp));
  std::wstring path = L"unchanged";
  ASSERT_FALSE(makeWorkingFolderPath(path));
  ASSERT_EQ(path.rfind(tempPath, 0), 0u) << toUtf8(path);
  EXPECT_TRUE(std::regex_match(toUtf8(path.substr(tempPath.size())), std::regex("KelvraInstaller_[A-Za-z]{5}")))
      << toUtf8(path);
  EXPECT_EQ(path.back() == L'\\', false);
}

TEST_F(WorkingFolderTest, RandomLettersAreTerminatedAndFromTheAlphabet) {
  char buffer[12];
  std::memset(buffer, '#', sizeof buffer);
  kelvra::run::internal::makeRandomLetters(buffer, 10);
  EXPECT_EQ(buffer[10], '\0');
  EXPECT_EQ(buffer[11], '#');
  EXPECT_TRUE(std::regex_match(std::string(buffer), std::regex("[A-Za-z]{10}")));
}

TEST_F(WorkingFolderTest, FreshPathOnlyLogsTheCleaningLine) {
  const std::wstring path = folder / L"KelvraInstaller_abcde";
  EXPECT_FALSE(removeWorkingFolder(path));
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[info] Cleaning temporary folder at [" + toUtf8(path) + "]."});
}

TEST_F(WorkingFolderTest, LeftoverFolderIsRemovedWithItsContent) {
  const std::wstring path = folder / L"KelvraInstaller_qHbTe";
  makeFolder(path);
  makeFolder(path + L"\\de");
  writeFileBytes(path + L"\\de\\KelvraWebInstaller.resources.dll", "MZ");
  writeFileBytes(path + L"\\remoteconfig.json", "{}");
  EXPECT_FALSE(removeWorkingFolder(path));
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(exists(folder.path()));
}

TEST_F(WorkingFolderTest, PathOf259CharactersIsRemovedWholeAndItsShorterTwinStays) {
  const std::wstring parent = folder / L"p";
  makeFolder(parent);
  const std::size_t nameLength = kMaxRemovablePathLength - parent.size() - 1;
  const std::wstring path = parent + L"\\" + std::wstring(nameLength, L'k');
  ASSERT_EQ(path.size(), 259u);
  const std::wstring twin = path.substr(0, path.size() - 1);
  makeFolder(path);
  makeFolder(twin);
  EXPECT_FALSE(removeWorkingFolder(path));
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(exists(twin));
}

TEST_F(WorkingFolderTest, LongerPathIsRefusedAndNothingIsDeleted) {
  const std::wstring parent = folder / L"p";
  makeFolder(parent);
  const std::wstring path = parent + L"\\" + std::wstring(kMaxRemovablePathLength + 1 - parent.size() - 1, L'k');
  ASSERT_EQ(path.size(), 260u);
  const std::wstring shortened = path.substr(0, 259);
  makeFolder(path);
  makeFolder(shortened);
  EXPECT_TRUE(removeWorkingFolder(path));
  EXPECT_TRUE(exists(path));
  EXPECT_TRUE(exists(shortened));
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].rfind("[error] Refusing to remove temporary folder [", 0), 0u) << messages[1];
}

TEST_F(WorkingFolderTest, TempPathThatLeavesNoRoomForTheStagedFilesIsRefused) {
  // One character too many for "KelvraInstaller_", five letters and the longest
  // staged name behind them.
  const std::wstring tooLong = tempPathOfLength(kMaxWorkingFolderPathLength - 21 + 1);
  ScopedEnvironmentVariable tmp(L"TMP", tooLong);
  std::wstring path = L"unchanged";
  EXPECT_TRUE(makeWorkingFolderPath(path));
  EXPECT_EQ(path, L"unchanged");
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(std::regex_match(messages[0], std::regex(R"(\[error\] Working folder path \[C:\\t+\\KelvraInstaller_)"
                                                       R"([A-Za-z]{5}\] is too long: \[219\] characters, at most \[218\]\.)")))
      << messages[0];
}

TEST_F(WorkingFolderTest, TempPathThatDoesNotFitMaxPathIsRefused) {
  ScopedEnvironmentVariable tmp(L"TMP", L"C:\\" + std::wstring(300, L't'));
  std::wstring path = L"unchanged";
  EXPECT_TRUE(makeWorkingFolderPath(path));
  EXPECT_EQ(path, L"unchanged");
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(log.messages()[0].rfind("[error] Getting temporary path failed.", 0), 0u) << log.messages()[0];
}

TEST_F(WorkingFolderTest, LongestTempPathThatFitsLeavesRoomForEveryStagedFile) {
  ScopedEnvironmentVariable tmp(L"TMP", tempPathOfLength(kMaxWorkingFolderPathLength - 21));
  std::wstring path;
  ASSERT_FALSE(makeWorkingFolderPath(path));
  EXPECT_EQ(path.size(), 218u);
  EXPECT_EQ((path + L"\\zh-Hant\\KelvraWebInstaller.resources.dll").size(), 259u);
}

TEST_F(WorkingFolderTest, CreationMakesAFreshFolderAndRefusesAnyOtherOne) {
  const std::wstring fresh = folder / L"KelvraInstaller_fresh";
  EXPECT_FALSE(createWorkingFolder(fresh));
  EXPECT_TRUE(exists(fresh));

  // Someone else's folder of that name stays as it is, content included.
  const std::wstring planted = folder / L"KelvraInstaller_taken";
  makeFolder(planted);
  writeFileBytes(planted + L"\\KelvraWebInstaller.exe", "theirs");
  EXPECT_TRUE(createWorkingFolder(planted));
  EXPECT_EQ(readFileBytes(planted + L"\\KelvraWebInstaller.exe"), "theirs");

  const std::wstring orphan = folder / L"gone\\KelvraInstaller_abcde";
  EXPECT_TRUE(createWorkingFolder(orphan));
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{"[error] Creating directory [" + toUtf8(planted) + "] failed. Error code 183.",
                                      "[error] Creating directory [" + toUtf8(orphan) + "] failed. Error code 3."}));
}
