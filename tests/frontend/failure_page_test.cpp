// What each failure shows and reports, and which links are opened.
#include "core/failure_page.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

using namespace kelvra::frontend;
using namespace kelvra::frontend::core;

TEST(FailurePageTest, EachFailureHasItsPageLinkAndReport) {
  enum Page { none, outdated, connection, downloadFail, space, unexpected };
  struct Case {
    FailureKind kind;
    std::uint32_t windowsError;
    Page page;
    const wchar_t* report;
  };
  const wchar_t* const downloadFailed = L"Failed downloading ZAV Kelvra Installer: https://cdn.example/setup.exe";
  const Case cases[] = {
      {FailureKind::outdated, 0, outdated, L"Remote config suggests this installer is deprecated."},
      {FailureKind::remoteConfig, 12029, connection, L"Failed getting json remote config: C:\\w\\remoteconfig.json"},
      {FailureKind::network, 12002, connection, downloadFailed},
      {FailureKind::network, 0, connection, downloadFailed},
      // Wine reports a receive time-out with the socket's code: still the network.
      {FailureKind::network, 10060, connection, downloadFailed},
      // An empty or malformed downloadLink: nothing to check in the connection.
      {FailureKind::network, 12005, unexpected,
       L"The download link is not an http or https address. Error code 12005."},
      {FailureKind::network, 12006, unexpected,
       L"The download link is not an http or https address. Error code 12006."},
      {FailureKind::digestMismatch, 0, downloadFail,
       L"Downloaded ZAV Kelvra installer MD5 do not match remote-config data"},
      // The setup's refused signer: the digest's page, its reason reported.
      {FailureKind::setupSigner, 0, downloadFail, L"The client setup is not signed (error 0x800B0100)."},
      {FailureKind::diskSpace, 0, space, L"Not enough free disk space."},
      {FailureKind::setupFileWrite, 112, space, L"Not enough free disk space."},
      {FailureKind::setupFileWrite, 39, space, L"Not enough free disk space."},
      {FailureKind::setupFileWrite, 5, unexpected,
       L"Could not write the client setup file (access denied). Error code 5."},
      {FailureKind::setupFileWrite, 32, unexpected,
       L"Could not write the client setup file (in use by another program). Error code 32."},
      {FailureKind::setupFileWrite, 29, unexpected, L"Could not write the client setup file. Error code 29."},
      {FailureKind::setupFileRead, 2, unexpected, L"Could not read the client setup file (not found). Error code 2."},
      {FailureKind::setupFileRead, 3, unexpected, L"Could not read the client setup file (not found). Error code 3."},
      {FailureKind::setupFileRead, 33, unexpected,
       L"Could not read the client setup file (locked by another program). Error code 33."},
      {FailureKind::setupFileRead, 225, unexpected,
       L"Could not read the client setup file (blocked by an antivirus program). Error code 225."},
      {FailureKind::setupFileRead, 226, unexpected,
       L"Could not read the client setup file (removed by an antivirus program). Error code 226."},
      {FailureKind::setupFileDelete, 32, unexpected,
       L"Could not delete the client setup file (in use by another program). Error code 32."},
      {FailureKind::freeSpaceUnknown, 21, unexpected, L"Could not read the free disk space. Error code 21."},
      {FailureKind::freeSpaceUnknown, 112, space, L"Not enough free disk space."},
      {FailureKind::missingFile, 2, none, L""},
      {FailureKind::unexpected, 0, unexpected, L"Unexpected Error"},
      {FailureKind::unexpected, 5, unexpected, L"Unexpected Error"},
  };
  const FailurePage pages[] = {
      {},
      {true, L"errorOutdated", L"errorOutdated_link", L"errorOutdated_url"},
      {true, L"errorConnection", L"errorConnection_link", L"errorConnection_url"},
      {true, L"errorDownloadFail", L"errorDownloadFail_link", L"errorDownloadFail_url"},
      {true, L"errorSpace", L"", L""},  // the string table has no link for it
      {true, L"errorUnexpected", L"errorUnexpected_link", L"errorUnexpected_url"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " error " << c.windowsError);
    const FailureOutcome outcome =
        describeFailure(c.kind, c.windowsError, L"C:\\w\\remoteconfig.json", L"https://cdn.example/setup.exe",
                        L"The client setup is not signed (error 0x800B0100).");
    const FailurePage& expected = pages[c.page];
    EXPECT_EQ(outcome.page.shown, expected.shown);
    EXPECT_EQ(outcome.page.textKey, expected.textKey);
    EXPECT_EQ(outcome.page.linkKey, expected.linkKey);
    EXPECT_EQ(outcome.page.addressKey, expected.addressKey);
    EXPECT_EQ(outcome.reportMessage, c.report);
  }
}

TEST(FailurePageTest, OnlyWebAddressesAreOpened) {
  EXPECT_TRUE(isWebAddress(L"https://support.example/hc/articles/1"));
  EXPECT_TRUE(isWebAddress(L"HTTP://support.example/"));
  EXPECT_FALSE(isWebAddress(L"https://"));
  EXPECT_FALSE(isWebAddress(L""));
  EXPECT_FALSE(isWebAddress(L"C:\\Windows\\System32\\calc.exe"));
  EXPECT_FALSE(isWebAddress(L"file:///C:/x.exe"));
  EXPECT_FALSE(isWebAddress(L" https://support.example/"));
}
