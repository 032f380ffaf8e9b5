#include "run/log_setup.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "base/file_logger.h"
#include "base/log_folder.h"
#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "base/logging.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "support/test_log.h"
#include "base/file_logger_internal.h"

using namespace kelvra::base;
using namespace kelvra::run;

namespace {

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class LogSetupTest : public ::testing::Test {
 protected:
  TempFolder folder;
};

}  // namespace

TEST_F(LogSetupTest, DirectoryChainCreatesEveryLevelWithEitherSeparator) {
  const std::wstring leaf = folder.path() + L"/ZAVsoft\\Kelvra/logs/";
  createDirectoryChain(leaf);
  EXPECT_TRUE(isFolder(folder / L"ZAVsoft"));
  EXPECT_TRUE(isFolder(folder / L"ZAVsoft\\Kelvra\\logs"));
  // Existing folders are passed over alike, and what is below them is made.
  RemoveDirectoryW((folder / L"ZAVsoft\\Kelvra\\logs").c_str());
  createDirectoryChain(leaf);
  EXPECT_TRUE(isFolder(folder / L"ZAVsoft\\Kelvra\\logs"));
}

std::wstring aceSid(const ACCESS_ALLOWED_ACE* ace) {
  wchar_t* text = nullptr;
  ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &text);
  std::wstring sid = text == nullptr ? L"" : text;
  LocalFree(text);
  return sid;
}

// The DACL of descriptor is protected and holds exactly the rights the log folders get.
void expectLogFolderRights(PSECURITY_DESCRIPTOR descriptor, PACL dacl) {
  struct ExpectedAce {
    const wchar_t* sid;
    BYTE flags;
    ACCESS_MASK mask;
  };
  const ExpectedAce expected[] = {
      {L"S-1-5-18", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS},
      {L"S-1-5-32-544", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS},
      // Users list and enter the folder and create files and folders in it ...
      {L"S-1-5-32-545", 0, 0x1200af},
      // ... read and write every file, but neither rename nor delete another's.
      {L"S-1-5-32-545", OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, FILE_GENERIC_READ | FILE_GENERIC_WRITE},
      {L"S-1-3-0", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE, FILE_ALL_ACCESS},
  };
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "ProgramData's rights are inherited";
  ASSERT_NE(dacl, nullptr);
  ASSERT_EQ(dacl->AceCount, std::size(expected));
  for (WORD index = 0; index < dacl->AceCount; ++index) {
    void* raw = nullptr;
    ASSERT_TRUE(GetAce(dacl, index, &raw));
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << index;
    EXPECT_EQ(ace->Header.AceFlags, expected[index].flags) << index;
    EXPECT_EQ(ace->Mask, expected[index].mask) << index;
    EXPECT_EQ(aceSid(ace), expected[index].sid) << index;
  }
}

TEST(LogFolderRightsTest, TheChosenRightsAreExactAndNotInherited) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(kLogFolderSddl, SDDL_REVISION_1, &descriptor,
                                                                   nullptr));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  expectLogFolderRights(descriptor, dacl);
  LocalFree(descriptor);
}

TEST_F(LogSetupTest, CreatedFoldersCarryTheChosenRightsAndStayHeld) {
  const LogFolderOpening opening = openLogFolder(folder.path(), L"ZAVsoft\\Kelvra\\logs");
  ASSERT_EQ(opening.refusal, L"");
  EXPECT_EQ(opening.heldFolders.size(), 3u);
  // Wine keeps no security descriptor on files (it reads back one made from the Unix
  // mode) and renames a folder that is held without delete sharing.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
    GTEST_SKIP() << "only Windows keeps the rights we set and the folders we hold";
  }
  // Held without delete sharing: nobody can swap a folder for a link while the run writes.
  EXPECT_FALSE(MoveFileW((folder / L"ZAVsoft").c_str(), (folder / L"moved").c_str()));
  EXPECT_FALSE(MoveFileW((folder / L"ZAVsoft\\Kelvra\\logs").c_str(), (folder / L"moved").c_str()));
  for (const wchar_t* level : {L"ZAVsoft", L"ZAVsoft\\Kelvra", L"ZAVsoft\\Kelvra\\logs"}) {
    SCOPED_TRACE(testing::Message() << toUtf8(level));
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW((folder / level).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    expectLogFolderRights(descriptor, dacl);
    LocalFree(descriptor);
  }
}

TEST_F(LogSetupTest, ExistingFoldersAreUsedAndAFileOnTheWayIsRefused) {
  createDirectoryChain(folder / L"ZAVsoft\\Kelvra\\logs");
  EXPECT_EQ(openLogFolder(folder.path(), L"ZAVsoft\\Kelvra\\logs").refusal, L"");
  writeFileBytes(folder / L"Other", "a file");
  const LogFolderOpening opening = openLogFolder(folder.path(), L"Other\\logs");
  EXPECT_EQ(opening.refusal, L"[" + (folder / L"Other") + L"] is not a folder.");
  EXPECT_TRUE(opening.heldFolders.empty());
}

TEST(LogFolderOwnerTest, AnElevatedRunWritesOnlyBelowAdministratorsOrItsOwnUser) {
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  struct Case {
    bool elevated;
    const wchar_t* owner;
    bool allowed;
  };
  const Case cases[] = {
      {true, L"S-1-5-18", true},
      {true, L"S-1-5-32-544", true},
      {true, L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
      {true, L"S-1-5-21-1-2-3-1001", true},
      {true, L"S-1-5-21-1-2-3-1002", false},  // another user made it first
      {true, L"S-1-5-32-545", false},         // the Users group
      {true, L"S-1-1-0", false},              // Everyone
      {true, L"", false},                     // owner unreadable
      {false, L"S-1-5-21-1-2-3-1002", true},  // not elevated: no more than the user may anyway
      {false, L"", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mayWriteBelow(c.elevated, c.owner, user), c.allowed) << c.elevated << " " << toUtf8(c.owner);
  }
}

TEST_F(LogSetupTest, RotationThisUserCanNotDoSendsTheRunElsewhere) {
  const std::wstring log = folder / L"InstallerBootstrapper.log";
  writeFileBytes(log, std::string(1000, 'x'));
  writeFileBytes(folder / L"InstallerBootstrapper.2.log", "older");
  // Far from full: rotation is not due.
  EXPECT_EQ(rotationRefusal(log, 2000, 3, 500), L"");
  // Due, and every file can be renamed.
  EXPECT_EQ(rotationRefusal(log, 1400, 3, 500), L"");
  // Due, and an older file can't be renamed (as another user's file can't).
  const ScopedFileHandle held(CreateFileW((folder / L"InstallerBootstrapper.2.log").c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  EXPECT_EQ(rotationRefusal(log, 1400, 3, 500),
            L"it is due to rotate and [" + (folder / L"InstallerBootstrapper.2.log") +
                L"] can't be renamed. Error code 32.");
}

std::wstring testUserFolder;

TEST_F(LogSetupTest, AnUnusableSharedLogGivesTheUsersOwnLogAndWhy) {
  testUserFolder = folder / L"user\\";
  createDirectoryChain(testUserFolder);
  const auto userFolder = [] { return testUserFolder; };
  const std::wstring shared = folder / L"ZAVsoft\\Kelvra\\logs\\InstallerBootstrapper.log";
  {
    const LogPlace place = chooseLogPlace(folder.path(), L"ZAVsoft\\Kelvra\\logs", userFolder);
    EXPECT_EQ(place.refusal, L"");
    EXPECT_EQ(place.filePath, shared);
    EXPECT_EQ(place.heldFolders.size(), 3u);
  }
  const ScopedFileHandle held(CreateFileW(shared.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  const LogPlace place = chooseLogPlace(folder.path(), L"ZAVsoft\\Kelvra\\logs", userFolder);
  EXPECT_EQ(place.refusal, L"cannot open [" + shared + L"]. Error code 32.");
  EXPECT_EQ(place.filePath, testUserFolder + L"InstallerBootstrapper.log");
  EXPECT_TRUE(place.heldFolders.empty());
}

TEST_F(LogSetupTest, LinesUseTheDefaultPatternWithCrLf) {
  {
    TestLog log(folder);
    logInfo(log.logger(), "Initializing installer bootstrapper.");
    logWarning(log.logger(), "Token size: [{}]", 92);
    logError(log.logger(), L"Creating directory [{}] failed. Error code {}.", std::wstring(L"C:\\x"), 183u);
  }
  const std::string text = readFileBytes(folder / L"test.log");
  const std::regex expected(
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[info\] Initializing installer bootstrapper\.\r\n)"
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[warning\] Token size: \[92\]\r\n)"
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[error\] Creating directory \[C:\\x\] failed\. Error code 183\.\r\n)");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(LogSetupTest, WideMessagesReachTheFileAsUtf8) {
  TestLog log(folder);
  logInfo(log.logger(), L"Cleaning temporary folder at [{}].", std::wstring(L"C:\\Users\\Björn\\Фёдор\\Temp"));
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(log.messages()[0],
            "[info] Cleaning temporary folder at [C:\\Users\\Bj\xc3\xb6rn\\\xd0\xa4\xd1\x91\xd0\xb4\xd0\xbe\xd1\x80\\Temp].");
}

// A wide message is formatted from UTF-8 pieces: each line must be what formatting
// the wide text whole and converting it gives, for every kind of argument we pass.
TEST_F(LogSetupTest, WideMessagesMatchTheWholeWideTextConverted) {
  TestLog log(folder);
  std::vector<std::string> expected;
#define LOG_AND_EXPECT(...)              \
  logInfo(log.logger(), __VA_ARGS__); \
  expected.push_back("[info] " + toUtf8(fmt::format(__VA_ARGS__)))

  const std::wstring path = L"C:\\Users\\J\u00fcrgen\\\u65e5\u672c\\Temp";
  const std::wstring empty;
  const wchar_t array[] = L"remoteconfig.json";
  const wchar_t* pointer = L"\u00c4rger \U0001F600";
  const wchar_t loneSurrogate[] = {0xD800, L'x', 0};
  LOG_AND_EXPECT(L"Executing installer. Path [{}], params [{}].", path, empty);
  LOG_AND_EXPECT(L"From {} to {}. Error code {}.", array, pointer, 5ul);
  LOG_AND_EXPECT(L"Failed [{}]. Error code 1) {} 2) {}.", loneSurrogate, static_cast<INT_PTR>(-2), 0x80070005u);
  LOG_AND_EXPECT(L"Culture [{}], letter [{}], {{braces}} \u2603 {:x}", std::wstring(L"zh-Hant"), L'\u00e9', 255);
#undef LOG_AND_EXPECT
  EXPECT_EQ(log.messages(), expected);
}

TEST_F(LogSetupTest, LaterRunsAppendToTheSameFile) {
  { TestLog first(folder); logInfo(first.logger(), "first run"); }
  TestLog second(folder);
  logInfo(second.logger(), "second run");
  EXPECT_EQ(second.messages(), (std::vector<std::string>{"[info] first run", "[info] second run"}));
}

TEST_F(LogSetupTest, FullFileRotatesToNumberedOlderFiles) {
  const std::wstring path = folder / L"InstallerBootstrapper.log";
  {
    const LoggerHandle logger = createFileLogger(kFileLoggerName, path, 300, 3);
    for (int line = 0; line < 30; ++line) logInfo(logger, "line number {:02}", line);
    kelvra::base::internal::dropLogger(kFileLoggerName);
  }
  EXPECT_TRUE(fileExists(folder / L"InstallerBootstrapper.1.log"));
  EXPECT_TRUE(fileExists(folder / L"InstallerBootstrapper.3.log"));
  EXPECT_FALSE(fileExists(folder / L"InstallerBootstrapper.4.log"));
  const std::string current = readFileBytes(path);
  EXPECT_LE(current.size(), 300u);
  EXPECT_NE(current.find("line number 29"), std::string::npos);
  const std::string newestOlder = readFileBytes(folder / L"InstallerBootstrapper.1.log");
  // The current file begins with the line that no longer fit into the older one.
  const auto firstLine = splitLines(current).front();
  const auto lastOlder = splitLines(newestOlder).back();
  const int firstNumber = std::stoi(firstLine.substr(firstLine.find("number ") + 7));
  const int lastOlderNumber = std::stoi(lastOlder.substr(lastOlder.find("number ") + 7));
  EXPECT_EQ(firstNumber, lastOlderNumber + 1);
}

TEST_F(LogSetupTest, UnopenableFileStillGivesARegisteredLogger) {
  // A file where the log folder should be: the log file can't be opened.
  writeFileBytes(folder / L"logs", "not a folder");
  const LoggerHandle logger = createFileLogger(kFileLoggerName, folder / L"logs\\x.log", 5242880, 3);
  ASSERT_NE(logger, nullptr);
  EXPECT_EQ(findFileLogger(), logger);
  logError(logger, "goes nowhere");
  EXPECT_EQ(readFileBytes(folder / L"logs"), "not a folder");
  kelvra::base::internal::dropLogger(kFileLoggerName);
}
