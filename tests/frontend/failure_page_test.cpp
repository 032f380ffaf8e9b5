// The front end's platform-free start-up rules: the remote configuration's
// mapping (with the optional second digest) and address, and what each failure
// shows and reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/failure_page.h"
#include "core/remote_config_record.h"

using namespace kelvra::frontend;
using namespace kelvra::frontend::core;

namespace {

struct ConfigCase {
  const char* name;
  const char* text;
  bool fails;
  RemoteConfigRecord expected;
};

const ConfigCase kConfigCases[] = {
    {"full",
     R"({"version": 3, "content": {"windows": {"version": "2.1.0", "downloadLink": "https://cdn.example/setup.exe",
         "installerMd5": "ABC123", "size": 17, "deprecated": false}}, "webinstallerEvent": {"server_address": "x"},
         "bases": []})",
     false, {"2.1.0", "https://cdn.example/setup.exe", "ABC123", std::nullopt, false}},
    {"second digest",
     R"({"content": {"windows": {"installerMd5": "ab",
         "installerSha256": "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08"}}})",
     false, {"", "", "ab", "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08", false}},
    // Kept as given: the digest check refuses what is not 64 hexadecimal digits.
    {"second digest empty", R"({"content": {"windows": {"installerSha256": ""}}})", false, {"", "", "", "", false}},
    {"second digest short", R"({"content": {"windows": {"installerSha256": "9f86"}}})", false,
     {"", "", "", "9f86", false}},
    {"second digest null", R"({"content": {"windows": {"installerSha256": null}}})", false, {}},
    {"second digest a number", R"({"content": {"windows": {"installerSha256": 12}}})", true, {}},
    {"second digest an array", R"({"content": {"windows": {"installerSha256": ["9f86"]}}})", true, {}},
    {"deprecated", R"({"content": {"windows": {"deprecated": true}}})", false, {"", "", "", std::nullopt, true}},
    {"absent members keep defaults", R"({"content": {"windows": {}}})", false, {}},
    {"no content", R"({"version": "1"})", false, {}},
    {"null members", R"({"content": {"windows": {"version": null, "deprecated": null}}})", false, {}},
    {"null content", R"({"content": null})", false, {}},
    {"byte order mark", "\xEF\xBB\xBF{\"content\": {\"windows\": {\"version\": \"1.0\"}}}", false,
     {"1.0", "", "", std::nullopt, false}},
    {"not json", "<html>maintenance</html>", true, {}},
    {"empty", "", true, {}},
    {"trailing text", R"({"content": {}} x)", true, {}},
    {"array at the top", R"([{"content": {}}])", true, {}},
    {"content not an object", R"({"content": "windows"})", true, {}},
    {"windows not an object", R"({"content": {"windows": [1]}})", true, {}},
    {"version a number", R"({"content": {"windows": {"version": 2}}})", true, {}},
    {"deprecated a string", R"({"content": {"windows": {"deprecated": "true"}}})", true, {}},
};

}  // namespace

TEST(RemoteConfigRecordTest, MapsTheMembersTheFrontEndUses) {
  for (const ConfigCase& c : kConfigCases) {
    SCOPED_TRACE(c.name);
    if (c.fails) {
      EXPECT_ANY_THROW((void)parseRemoteConfig(c.text));
      continue;
    }
    const RemoteConfigRecord record = parseRemoteConfig(c.text);
    EXPECT_EQ(record.version, c.expected.version);
    EXPECT_EQ(record.downloadLink, c.expected.downloadLink);
    EXPECT_EQ(record.installerMd5, c.expected.installerMd5);
    EXPECT_EQ(record.installerSha256, c.expected.installerSha256);
    EXPECT_EQ(record.deprecated, c.expected.deprecated);
  }
}

TEST(RemoteConfigRecordTest, AddressNamesTheProductWhenThereIsOne) {
  EXPECT_EQ(remoteConfigAddress(L"config.example", L"", L"2.0.0"),
            L"https://config.example/components/webinstaller?component_version=2.0.0");
  EXPECT_EQ(remoteConfigAddress(L"localhost:8443", L"1234", L"2.0.0"),
            L"https://localhost:8443/components/webinstaller/clients/1234?component_version=2.0.0");
  // A product id can't reach into the path or the query.
  EXPECT_EQ(remoteConfigAddress(L"h", L"a/../b?x=1#f ü", L"2.0.0"),
            L"https://h/components/webinstaller/clients/a%2F..%2Fb%3Fx%3D1%23f%20%C3%BC?component_version=2.0.0");
}

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
      {FailureKind::remoteConfig, 12029, connection,
       L"Failed getting json remote config: C:\\w\\remoteconfig.json"},
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
