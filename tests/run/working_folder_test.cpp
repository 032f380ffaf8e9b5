#include "run/working_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <deque>
#include <regex>
#include <set>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "run/private_folder.h"
#include "run/working_folder_internal.h"
#include "support/scoped_environment.h"
#include "support/test_log.h"

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

// A random source that gives the bytes of its script, then fails.
class ScriptedRandom {
 public:
  explicit ScriptedRandom(std::vector<unsigned char> bytes) { script_.assign(bytes.begin(), bytes.end()); }
  ~ScriptedRandom() { script_.clear(); }
  static bool source(unsigned char* buffer, unsigned long size) {
    if (script_.size() < size) return true;
    for (unsigned long i = 0; i < size; ++i, script_.pop_front()) buffer[i] = script_.front();
    return false;
  }

 private:
  static inline std::deque<unsigned char> script_;
};

std::string sidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "?";
  const ScopedLocalMemory owned(text);
  return toUtf8(text);
}

// Each allow entry of a DACL as "SID flags mask".
std::set<std::string> allowEntries(ACL* dacl) {
  std::set<std::string> entries;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE) {
      entries.insert(fmt::format("{} {} {:x}", sidText(&ace->SidStart), ace->Header.AceFlags, ace->Mask));
    }
  }
  return entries;
}

bool anyWorkingFolderIn(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  const ScopedFindHandle find(FindFirstFileW((folder + L"\\KelvraInstaller_*").c_str(), &data));
  return find.valid();
}

using WorkingFolderTest = LoggedTest;

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

TEST_F(WorkingFolderTest, SystemLettersAreTerminatedAndCoverTheAlphabet) {
  char buffer[12];
  std::memset(buffer, '#', sizeof buffer);
  std::set<char> seen;
  for (int i = 0; i < 300; ++i) {
    ASSERT_FALSE(kelvra::run::internal::makeRandomLetters(buffer, 10, kelvra::run::internal::systemRandom));
    ASSERT_EQ(buffer[10], '\0');
    ASSERT_EQ(buffer[11], '#');
    ASSERT_TRUE(std::regex_match(std::string(buffer), std::regex("[A-Za-z]{10}"))) << buffer;
    seen.insert(buffer, buffer + 10);
  }
  EXPECT_EQ(seen.size(), 52u);
}

TEST_F(WorkingFolderTest, BytesPastTheLastWholeAlphabetAreDrawnAgain) {
  // 208 and up would favour the first 48 letters; 0 and 207 are both ends of
  // what is used.
  ScriptedRandom random({0, 51, 52, 103, 207, 208, 230, 255, 25, 26, 155, 156, 181, 182, 206, 1});
  char buffer[11];
  ASSERT_FALSE(kelvra::run::internal::makeRandomLetters(buffer, 10, ScriptedRandom::source));
  EXPECT_STREQ(buffer, "AzAzzZazAZ");
  EXPECT_EQ(log.messages(), std::vector<std::string>{});
}

TEST_F(WorkingFolderTest, FailingOrUselessGeneratorGivesNoFolder) {
  ScopedEnvironmentVariable tmp(L"TMP", folder.path() + L"\\");
  std::wstring path = L"unchanged";
  {
    ScriptedRandom random({});
    EXPECT_TRUE(kelvra::run::internal::createWorkingFolder(path, ScriptedRandom::source));
  }
  {
    ScriptedRandom random(std::vector<unsigned char>(8 * 16, 255));
    EXPECT_TRUE(kelvra::run::internal::createWorkingFolder(path, ScriptedRandom::source));
  }
  EXPECT_EQ(path, L"unchanged");
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{
                "[error] Getting random letters for the working folder failed.",
                "[error] Getting random letters for the working folder failed: [8] draws gave [0] of [5] "
                "letters."}));
  EXPECT_FALSE(anyWorkingFolderIn(folder.path()));
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
  EXPECT_TRUE(
      std::regex_match(messages[0], std::regex(R"(\[error\] Working folder path \[C:\\t+\\KelvraInstaller_)"
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

TEST_F(WorkingFolderTest, FolderAdmitsOnlyTheUserSystemAndAdministratorsAndInheritsNothing) {
  std::vector<BYTE> user;
  ASSERT_FALSE(readCurrentUserSid(user));
  const std::set<std::string> sids = {sidText(user.data()), "S-1-5-18", "S-1-5-32-544"};

  // What the folder is created with, which Windows keeps: full access, inherited
  // by files and folders (flags 3), for those three only; nothing from above.
  PrivateFolderSecurity security;
  ASSERT_FALSE(security.build());
  const PSECURITY_DESCRIPTOR given = security.attributes()->lpSecurityDescriptor;
  PSID owner = nullptr;
  ACL* dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorOwner(given, &owner, &defaulted) &&
              GetSecurityDescriptorDacl(given, &present, &dacl, &defaulted) &&
              GetSecurityDescriptorControl(given, &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0);
  EXPECT_EQ(sidText(owner), sidText(user.data()));
  std::set<std::string> expected;
  for (const std::string& sid : sids) expected.insert(sid + " 3 1f01ff");
  EXPECT_EQ(allowEntries(dacl), expected);

  // What the file system reports. Wine keeps only the folder's Unix permissions
  // (owner and SYSTEM come back, Administrators not, nor inheritance): what it can
  // show is that nobody else is let into the folder.
  ScopedEnvironmentVariable tmp(L"TMP", folder.path() + L"\\");
  std::wstring path;
  ASSERT_FALSE(createWorkingFolder(path));
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[info] Created working folder [" + toUtf8(path) + "]."});
  PSECURITY_DESCRIPTOR rawReported = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &rawReported),
            static_cast<DWORD>(ERROR_SUCCESS));
  const ScopedLocalMemory reported(rawReported);
  EXPECT_EQ(sidText(owner), sidText(user.data()));
  const std::set<std::string> entries = allowEntries(dacl);
  ASSERT_FALSE(entries.empty());
  for (const std::string& entry : entries) EXPECT_EQ(sids.count(entry.substr(0, entry.find(' '))), 1u) << entry;
}

TEST_F(WorkingFolderTest, TakenNamesAreNeverUsedAndAnotherIsChosen) {
  ScopedEnvironmentVariable tmp(L"TMP", folder.path() + L"\\");
  // Five zero bytes name "AAAAA", five ones "BBBBB".
  const std::wstring taken = folder / L"KelvraInstaller_AAAAA";
  makeFolder(taken);
  writeFileBytes(taken + L"\\KelvraInstaller.exe", "theirs");

  std::wstring path;
  ScriptedRandom random({0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                         1, 1, 1, 1, 1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255});
  ASSERT_FALSE(kelvra::run::internal::createWorkingFolder(path, ScriptedRandom::source));
  EXPECT_EQ(path, folder / L"KelvraInstaller_BBBBB");
  EXPECT_TRUE(exists(path));
  EXPECT_EQ(readFileBytes(taken + L"\\KelvraInstaller.exe"), "theirs");
  EXPECT_EQ(log.messages(), (std::vector<std::string>{"[warning] Working folder [" + toUtf8(taken) +
                                                          "] exists already: choosing "
                                                          "another name.",
                                                      "[info] Created working folder [" + toUtf8(path) + "]."}));
}

TEST_F(WorkingFolderTest, NameTakenEveryTimeOrMissingTemporaryFolderGivesNoFolder) {
  ScopedEnvironmentVariable tmp(L"TMP", folder.path() + L"\\");
  const std::wstring taken = folder / L"KelvraInstaller_AAAAA";
  makeFolder(taken);
  std::wstring path = L"unchanged";
  {
    ScriptedRandom random(std::vector<unsigned char>(16 * kMaxWorkingFolderNameTries, 0));
    EXPECT_TRUE(kelvra::run::internal::createWorkingFolder(path, ScriptedRandom::source));
  }
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 11u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(messages[i], "[warning] Working folder [" + toUtf8(taken) + "] exists already: choosing another name.");
  }
  EXPECT_EQ(messages[10], "[error] Found no free working folder name in [10] tries.");

  ScopedEnvironmentVariable missing(L"TMP", folder / L"gone\\");
  EXPECT_TRUE(createWorkingFolder(path));
  EXPECT_EQ(path, L"unchanged");
  EXPECT_TRUE(std::regex_match(log.messages().back(),
                               std::regex(R"(\[error\] Creating directory \[.*\\gone\\KelvraInstaller_[A-Za-z]{5}\])"
                                          R"( failed\. Error code 3\.)")))
      << log.messages().back();
  EXPECT_TRUE(exists(taken));
}
