// The folders on the way to the shared log: made with rights of their own, held
// while the run writes, and refused when they are not what they seem.
#include "base/log_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kelvra::base;

namespace {

using LogFolderTest = FolderTest;

std::wstring aceSid(const ACCESS_ALLOWED_ACE* ace) {
  wchar_t* text = nullptr;
  ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &text);
  const ScopedLocalMemory owned(text);
  return text == nullptr ? L"" : text;
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

}  // namespace

TEST_F(LogFolderTest, DirectoryChainCreatesEveryLevelWithEitherSeparator) {
  const std::wstring leaf = folder.path() + L"/ZAVsoft\\Kelvra/logs/";
  createDirectoryChain(leaf);
  EXPECT_TRUE(isFolder(folder / L"ZAVsoft"));
  EXPECT_TRUE(isFolder(folder / L"ZAVsoft\\Kelvra\\logs"));
  // Existing folders are passed over alike, and what is below them is made.
  RemoveDirectoryW((folder / L"ZAVsoft\\Kelvra\\logs").c_str());
  createDirectoryChain(leaf);
  EXPECT_TRUE(isFolder(folder / L"ZAVsoft\\Kelvra\\logs"));
}

TEST(LogFolderRightsTest, TheChosenRightsAreExactAndNotInherited) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(
      ConvertStringSecurityDescriptorToSecurityDescriptorW(kLogFolderSddl, SDDL_REVISION_1, &descriptor, nullptr));
  const ScopedLocalMemory owned(descriptor);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  expectLogFolderRights(descriptor, dacl);
}

TEST_F(LogFolderTest, CreatedFoldersCarryTheChosenRightsAndStayHeld) {
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
    const ScopedLocalMemory owned(descriptor);
    expectLogFolderRights(descriptor, dacl);
  }
}

TEST_F(LogFolderTest, ExistingFoldersAreUsedAndAFileOnTheWayIsRefused) {
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
