// Where the run logs when the shared log can't be rotated or used: the user's own.
#include "run/log_setup.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "base/log_folder.h"
#include "base/scoped_handle.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kelvra::base;
using namespace kelvra::run;

using LogSetupTest = FolderTest;

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
  EXPECT_EQ(
      rotationRefusal(log, 1400, 3, 500),
      L"it is due to rotate and [" + (folder / L"InstallerBootstrapper.2.log") + L"] can't be renamed. Error code 32.");
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
  const ExclusiveLock held(shared);
  const LogPlace place = chooseLogPlace(folder.path(), L"ZAVsoft\\Kelvra\\logs", userFolder);
  EXPECT_EQ(place.refusal, L"cannot open [" + shared + L"]. Error code 32.");
  EXPECT_EQ(place.filePath, testUserFolder + L"InstallerBootstrapper.log");
  EXPECT_TRUE(place.heldFolders.empty());
}
