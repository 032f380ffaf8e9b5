#include "run/leftover_folders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "run/private_folder.h"
#include "support/test_log.h"

using namespace kelvra::base;
namespace leftovers = kelvra::run::internal;

namespace {

constexpr ULONGLONG kOneDay = 24ULL * 60 * 60 * 10'000'000;

ULONGLONG currentTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// A working folder as a killed run leaves it: the staged files, a token and a
// partial download in a folder of its own.
void makeLeftover(const std::wstring& path) {
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
  ASSERT_TRUE(CreateDirectoryW((path + L"\\de").c_str(), nullptr)) << GetLastError();
  ASSERT_TRUE(CreateDirectoryW((path + L"\\setup").c_str(), nullptr)) << GetLastError();
  writeFileBytes(path + L"\\payload.base64", "token");
  writeFileBytes(path + L"\\de\\KelvraWebInstaller.resources.dll", "MZ");
  writeFileBytes(path + L"\\setup\\part.bin", "partial");
}

void expectWhole(const std::wstring& leftover) {
  for (const wchar_t* file : {L"\\payload.base64", L"\\de\\KelvraWebInstaller.resources.dll", L"\\setup\\part.bin"}) {
    EXPECT_TRUE(fileExists(leftover + file)) << toUtf8(file);
  }
}

class LeftoverFoldersTest : public LoggedTest {
 protected:
  const std::wstring temp = folder.path() + L"\\";
  const ULONGLONG now = currentTime();
  std::vector<BYTE> user;
  void SetUp() override { ASSERT_FALSE(kelvra::run::readCurrentUserSid(user)); }
  void sweep(ULONGLONG time) { leftovers::removeLeftoverWorkingFolders(temp, time, user); }
};

}  // namespace

TEST_F(LeftoverFoldersTest, OldLeftoverIsRemovedAndNewOneAndOtherNamesAreKept) {
  const std::wstring leftover = folder / L"KelvraInstaller_qHbTe";
  makeLeftover(leftover);
  // Not a name a run chooses, or not a folder: never looked at.
  for (const wchar_t* other : {L"KelvraInstaller_qHbT", L"KelvraInstaller_qHbTe1", L"KelvraInstaller_qH4Te"}) {
    ASSERT_TRUE(CreateDirectoryW((folder / other).c_str(), nullptr));
  }
  writeFileBytes(folder / L"KelvraInstaller_fileA", "a file");

  sweep(now + kOneDay / 2);
  EXPECT_TRUE(fileExists(leftover + L"\\setup\\part.bin"));
  sweep(now + kOneDay + 10'000'000);
  EXPECT_FALSE(fileExists(leftover));
  for (const wchar_t* other :
       {L"KelvraInstaller_qHbT", L"KelvraInstaller_qHbTe1", L"KelvraInstaller_qH4Te", L"KelvraInstaller_fileA"}) {
    EXPECT_TRUE(fileExists(folder / other));
  }
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{
                "[info] Left leftover working folder [" + toUtf8(leftover) + "]: it is less than a day old.",
                "[info] Removed leftover working folder [" + toUtf8(leftover) + "]."}));
}

TEST_F(LeftoverFoldersTest, FolderWithAFileInUseIsLeftWhole) {
  const std::wstring leftover = folder / L"KelvraInstaller_abcde";
  makeLeftover(leftover);
  const std::wstring held = leftover + L"\\setup\\part.bin";
  {
    // Open by a program that lets anyone read, write or delete it meanwhile: still
    // in use. (One that shares nothing is the scenario tests' file holder.)
    const ScopedFileHandle holder(CreateFileW(held.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    sweep(now + 2 * kOneDay);
  }
  expectWhole(leftover);
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(log.messages()[0], "[warning] Left leftover working folder [" + toUtf8(leftover) + "]: [" + toUtf8(held) +
                                   "] is in use or can't be deleted. Error code 32.");

  // Once it is free, a later run removes it.
  sweep(now + 2 * kOneDay);
  EXPECT_FALSE(fileExists(leftover));
}

TEST_F(LeftoverFoldersTest, FileThatCannotBeDeletedKeepsEveryOtherOne) {
  // Found last, after the files that could go: they stay too.
  const std::wstring leftover = folder / L"KelvraInstaller_ABCDE";
  makeLeftover(leftover);
  const std::wstring stuck = leftover + L"\\setup\\part.bin";
  ASSERT_TRUE(SetFileAttributesW(stuck.c_str(), FILE_ATTRIBUTE_READONLY));
  sweep(now + 2 * kOneDay);
  expectWhole(leftover);
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[warning] Left leftover working folder [" + toUtf8(leftover) +
                                                     "]: [" + toUtf8(stuck) +
                                                     "] is in use or can't be deleted. "
                                                     "Error code 5."});
  ASSERT_TRUE(SetFileAttributesW(stuck.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST_F(LeftoverFoldersTest, WorkIsBoundedInFoldersAndInEntries) {
  const std::wstring big = folder / L"KelvraInstaller_Aaaaa";
  ASSERT_TRUE(CreateDirectoryW(big.c_str(), nullptr));
  for (int i = 0; i <= leftovers::kMaxLeftoverEntries; ++i) {
    writeFileBytes(big + L"\\" + std::to_wstring(i), "");
  }
  sweep(now + 2 * kOneDay);
  EXPECT_TRUE(fileExists(big + L"\\0"));
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[warning] Left leftover working folder [" + toUtf8(big) +
                                                     "]: it holds more than [256] files and folders."});
  removeTree(big);

  for (int i = 0; i <= leftovers::kMaxLeftoverFolders; ++i) {
    const std::wstring name = L"KelvraInstaller_" + std::wstring(1, static_cast<wchar_t>(L'A' + i / 26)) +
                              static_cast<wchar_t>(L'a' + i % 26) + L"aaa";
    ASSERT_TRUE(CreateDirectoryW((folder / name).c_str(), nullptr));
  }
  sweep(now + 2 * kOneDay);
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 2u + leftovers::kMaxLeftoverFolders);
  EXPECT_EQ(messages.back(), "[info] Left further leftover working folders for a later run: [32] looked at.");
}

TEST_F(LeftoverFoldersTest, SomeoneElsesFolderIsLeft) {
  // Wine gives every file the current user as owner; so the sweep runs as SYSTEM.
  const std::wstring theirs = folder / L"KelvraInstaller_zzzzz";
  makeLeftover(theirs);
  DWORD size = SECURITY_MAX_SID_SIZE;
  user.assign(size, 0);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, user.data(), &size));
  sweep(now + 2 * kOneDay);
  EXPECT_TRUE(fileExists(theirs + L"\\payload.base64"));
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[warning] Left leftover working folder [" + toUtf8(theirs) +
                                                     "]: it belongs to someone else."});
}
