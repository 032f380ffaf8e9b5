#include "driver/working_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>

#include "driver/utf8.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "support/test_log.h"

namespace {

// Creates a folder even past MAX_PATH, as someone else's program might.
void makeFolder(const std::wstring& path) {
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr)) << GetLastError();
}

bool exists(const std::wstring& path) { return fileExists(L"\\\\?\\" + path); }

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[32768];
    const DWORD length = GetEnvironmentVariableW(name, old, 32768);
    if (length > 0 && length < 32768) old_ = std::wstring(old, length);
    hadValue_ = length > 0;
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_, hadValue_ ? old_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::wstring old_;
  bool hadValue_ = false;
};

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
  makeRandomLetters(buffer, 10);
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
  const std::size_t nameLength = kMaxWorkingFolderPathLength - parent.size() - 1;
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
  const std::wstring path = parent + L"\\" + std::wstring(kMaxWorkingFolderPathLength + 1 - parent.size() - 1, L'k');
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

TEST_F(WorkingFolderTest, TempPathThatLeavesNoRoomForTheNameIsRefused) {
  // 239 + "KelvraInstaller_" + 5 letters is one character too many.
  const std::wstring tooLong = L"C:\\" + std::wstring(235, L't') + L"\\";
  ASSERT_EQ(tooLong.size(), 239u);
  ScopedEnvironment tmp(L"TMP", tooLong);
  std::wstring path = L"unchanged";
  EXPECT_TRUE(makeWorkingFolderPath(path));
  EXPECT_EQ(path, L"unchanged");
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(log.messages()[0].rfind("[error] Working folder path [", 0), 0u) << log.messages()[0];
}

TEST_F(WorkingFolderTest, TempPathThatDoesNotFitMaxPathIsRefused) {
  ScopedEnvironment tmp(L"TMP", L"C:\\" + std::wstring(300, L't'));
  std::wstring path = L"unchanged";
  EXPECT_TRUE(makeWorkingFolderPath(path));
  EXPECT_EQ(path, L"unchanged");
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(log.messages()[0].rfind("[error] Getting temporary path failed.", 0), 0u) << log.messages()[0];
}

TEST_F(WorkingFolderTest, LongestTempPathThatFitsGivesA259CharacterName) {
  const std::wstring longest = L"C:\\" + std::wstring(234, L't') + L"\\";
  ScopedEnvironment tmp(L"TMP", longest);
  std::wstring path;
  ASSERT_FALSE(makeWorkingFolderPath(path));
  EXPECT_EQ(path.size(), 259u);
}
