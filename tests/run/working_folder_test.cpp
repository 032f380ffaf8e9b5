#include "run/working_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <regex>
#include <set>

#include "base/utf8.h"
#include "support/file_contents.h"
#include "support/scoped_environment.h"
#include "support/temp_folder.h"
#include "support/test_log.h"
#include "run/private_folder.h"
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
  const std::string result = toUtf8(text);
  LocalFree(text);
  return result;
}

// A file's owner and DACL as Windows reports them.
class Dacl {
 public:
  explicit Dacl(const std::wstring& path) {
    EXPECT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                    &owner_, nullptr, &dacl_, nullptr, &descriptor_),
              static_cast<DWORD>(ERROR_SUCCESS));
    owned_ = true;
  }
  explicit Dacl(PSECURITY_DESCRIPTOR descriptor) : descriptor_(descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    EXPECT_TRUE(GetSecurityDescriptorOwner(descriptor_, &owner_, &defaulted));
    EXPECT_TRUE(GetSecurityDescriptorDacl(descriptor_, &present, &dacl_, &defaulted));
  }
  ~Dacl() {
    if (owned_) LocalFree(descriptor_);
  }
  Dacl(const Dacl&) = delete;
  Dacl& operator=(const Dacl&) = delete;

  [[nodiscard]] PSID owner() const { return owner_; }
  [[nodiscard]] bool isProtected() const {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    return GetSecurityDescriptorControl(descriptor_, &control, &revision) && (control & SE_DACL_PROTECTED) != 0;
  }
  [[nodiscard]] std::size_t aceCount() const { return dacl_ == nullptr ? 0 : dacl_->AceCount; }
  // The SIDs of every allow entry.
  [[nodiscard]] std::set<std::string> allowedToAnyone() const {
    std::set<std::string> sids;
    for (DWORD i = 0; i < aceCount(); ++i) {
      void* ace = nullptr;
      if (GetAce(dacl_, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE) {
        sids.insert(sidText(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart));
      }
    }
    return sids;
  }
  // The SIDs of the full-access allow entries with exactly these flags.
  [[nodiscard]] std::set<std::string> allowed(BYTE flags) const {
    std::set<std::string> sids;
    for (DWORD i = 0; i < aceCount(); ++i) {
      void* ace = nullptr;
      if (!GetAce(dacl_, i, &ace)) continue;
      const auto* allowedAce = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      if (allowedAce->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && allowedAce->Header.AceFlags == flags &&
          allowedAce->Mask == FILE_ALL_ACCESS) {
        sids.insert(sidText(const_cast<DWORD*>(&allowedAce->SidStart)));
      }
    }
    return sids;
  }

 private:
  PSID owner_ = nullptr;
  ACL* dacl_ = nullptr;
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  bool owned_ = false;
};

std::vector<std::wstring> folderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.cFileName[0] != L'.') names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

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
  EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                "[error] Getting random letters for the working folder failed.",
                                "[error] Getting random letters for the working folder failed: [8] draws gave [0] of [5] "
                                "letters."}));
  EXPECT_EQ(folderNames(folder.path()), std::vector<std::wstring>{L"test.log"});
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

TEST_F(WorkingFolderTest, FolderAdmitsOnlyTheUserSystemAndAdministratorsAndInheritsNothing) {
  std::vector<BYTE> user;
  ASSERT_FALSE(readCurrentUserSid(user));
  const std::set<std::string> expected = {sidText(user.data()), "S-1-5-18", "S-1-5-32-544"};

  // What the folder is created with; Windows keeps it as it is.
  PrivateFolderSecurity security;
  ASSERT_FALSE(security.build());
  const Dacl given(security.attributes()->lpSecurityDescriptor);
  EXPECT_TRUE(given.isProtected());
  EXPECT_EQ(sidText(given.owner()), sidText(user.data()));
  EXPECT_EQ(given.allowed(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), expected);
  EXPECT_EQ(given.aceCount(), 3u);

  // What the file system reports. Wine keeps only the folder's Unix permissions
  // (owner and SYSTEM come back, Administrators not, nor inheritance): what it can
  // show is that nobody else is let into the folder.
  ScopedEnvironmentVariable tmp(L"TMP", folder.path() + L"\\");
  std::wstring path;
  ASSERT_FALSE(createWorkingFolder(path));
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[info] Created working folder [" + toUtf8(path) + "]."});
  const Dacl reported(path);
  EXPECT_EQ(sidText(reported.owner()), sidText(user.data()));
  EXPECT_EQ(reported.allowedToAnyone().count(sidText(user.data())), 1u);
  for (const std::string& sid : reported.allowedToAnyone()) EXPECT_EQ(expected.count(sid), 1u) << sid;
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
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{"[warning] Working folder [" + toUtf8(taken) + "] exists already: choosing "
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
  EXPECT_EQ(folderNames(folder.path()), (std::vector<std::wstring>{L"KelvraInstaller_AAAAA", L"test.log"}));
}
