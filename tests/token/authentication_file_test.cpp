// The authentication file copied into the working folder unless it came from the internet.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "support/scoped_environment.h"
#include "support/test_log.h"
#include "token/authentication_file_internal.h"
#include "token/token.h"

using namespace kelvra::base;
using namespace kelvra::token;

namespace {

namespace authentication = kelvra::token::internal;

class AuthenticationFileTest : public LoggedTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(current.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr));
  }
  std::wstring current = folder / L"current";
  std::wstring working = folder / L"KelvraInstaller_abcde";
  std::wstring source = current + L"\\zavKelvra.auth";
  std::wstring target = working + L"\\zavKelvra.auth";
};

TEST_F(AuthenticationFileTest, IsCopiedFromTheCurrentDirectoryOverAnOlderCopy) {
  writeFileBytes(source, std::string("auth\0data", 9));
  writeFileBytes(target, "older copy, longer than the new one");
  const ScopedCurrentDirectory inCurrent(current);
  copyAuthenticationFile(working);
  EXPECT_EQ(readFileBytes(target), std::string("auth\0data", 9));
  EXPECT_EQ(log.messages(), Lines{"[info] Token: copy result: [1], source path: [" + toUtf8(source) +
                                  "], target path: [" + toUtf8(target) + "]"});
}

// Wine keeps no alternate data streams: the marks are played.
TEST_F(AuthenticationFileTest, FileMarkedAsDownloadedOrWithAnUnreadableMarkIsNotCopied) {
  using authentication::ZoneStream;
  const struct {
    authentication::ZoneStreamReader reader;
    std::string line;
  } cases[] = {
      {[](const std::wstring&) {
         return ZoneStream{false, false, 0, "[ZoneTransfer]\r\nZoneId=3\r\n"};
       },
       "was downloaded from the internet (zone 3). Not copied."},
      {[](const std::wstring&) {
         return ZoneStream{false, false, 0, "[ZoneTransfer]\r\nZoneId=4"};
       },
       "was downloaded from the internet (zone 4). Not copied."},
      {[](const std::wstring&) {
         return ZoneStream{false, true, 5, ""};
       },
       "could not be read. Error code 5. Not copied."},
      {[](const std::wstring&) {
         return ZoneStream{false, false, 0, "[ZoneTransfer]\r\n"};
       },
       "names no zone. Not copied."},
  };
  writeFileBytes(source, "auth");
  const ScopedCurrentDirectory inCurrent(current);
  for (const auto& marked : cases) {
    SCOPED_TRACE(marked.line);
    authentication::copyAuthenticationFile(working, marked.reader);
    EXPECT_FALSE(fileExists(target));
    ASSERT_FALSE(log.messages().empty());
    EXPECT_EQ(log.messages().back().rfind("[warning] Token: "), 0u);
    EXPECT_NE(log.messages().back().find(toUtf8(source)), std::string::npos);
    EXPECT_NE(log.messages().back().find(marked.line), std::string::npos);
  }
}

TEST_F(AuthenticationFileTest, FileFromTheMachineOrItsIntranetIsCopied) {
  writeFileBytes(source, "auth");
  const ScopedCurrentDirectory inCurrent(current);
  authentication::copyAuthenticationFile(working, [](const std::wstring&) {
    return authentication::ZoneStream{false, false, 0, "[ZoneTransfer]\nZoneId=1"};
  });
  EXPECT_EQ(readFileBytes(target), "auth");
  // The system's own reader: Wine has no streams, so the file counts as unmarked.
  EXPECT_TRUE(authentication::readZoneStream(source).missing);
}

TEST_F(AuthenticationFileTest, MissingFileIsOnlyLogged) {
  const ScopedCurrentDirectory inCurrent(current);
  copyAuthenticationFile(working);
  EXPECT_FALSE(fileExists(target));
  EXPECT_EQ(log.messages(), Lines{"[info] Token: token doesn't exist at path: [" + toUtf8(source) + "]"});
}

TEST_F(AuthenticationFileTest, LockedFileGivesCopyResultZero) {
  writeFileBytes(source, "auth");
  const ExclusiveLock lock(source);
  const ScopedCurrentDirectory inCurrent(current);
  copyAuthenticationFile(working);
  EXPECT_FALSE(fileExists(target));
  EXPECT_EQ(log.messages(), Lines{"[info] Token: copy result: [0], source path: [" + toUtf8(source) +
                                  "], target path: [" + toUtf8(target) + "]"});
}

TEST_F(AuthenticationFileTest, CurrentDirectoryTooLongForTheBufferCountsAsNoFile) {
  // The folder fits MAX_PATH, the folder and "\zavKelvra.auth" do not.
  const std::wstring deep = current + L"\\" + std::wstring(250 - current.size() - 1, L'd');
  ASSERT_EQ(deep.size(), 250u);
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  writeFileBytes(L"\\\\?\\" + deep + L"\\zavKelvra.auth", "auth");
  const ScopedCurrentDirectory inDeep(deep);
  copyAuthenticationFile(working);
  EXPECT_FALSE(fileExists(target));
  EXPECT_EQ(log.messages(),
            Lines{"[info] Token: token doesn't exist at path: [" + toUtf8(deep + L"\\zavKelvra.auth") + "]"});
}

}  // namespace
