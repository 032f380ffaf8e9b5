// The front end's platform-free start-up rules: the remote configuration's
// mapping (with the optional second digest) and address, and what each failure
// shows and reports.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/failure_page.h"
#include "core/remote_config_record.h"

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

TEST(FailurePageTest, EachKindHasItsTextLinkAndReport) {
  struct Case {
    FailureKind kind;
    bool shown;
    const wchar_t* text;
    const wchar_t* link;
    const wchar_t* address;
    const wchar_t* report;
  };
  const Case cases[] = {
      {FailureKind::outdated, true, L"errorOutdated", L"errorOutdated_link", L"errorOutdated_url",
       L"Remote config suggests this installer is deprecated."},
      {FailureKind::remoteConfig, true, L"errorConnection", L"errorConnection_link", L"errorConnection_url",
       L"Failed getting json remote config: C:\\w\\remoteconfig.json"},
      {FailureKind::network, true, L"errorConnection", L"errorConnection_link", L"errorConnection_url",
       L"Failed downloading ZAV Kelvra Installer: https://cdn.example/setup.exe"},
      {FailureKind::digestMismatch, true, L"errorDownloadFail", L"errorDownloadFail_link", L"errorDownloadFail_url",
       L"Downloaded ZAV Kelvra installer MD5 do not match remote-config data"},
      {FailureKind::ioError, true, L"errorSpace", L"", L"", L"Not enough free disk space."},
      {FailureKind::missingFile, false, L"", L"", L"", L""},
      {FailureKind::unexpected, true, L"errorUnexpected", L"errorUnexpected_link", L"errorUnexpected_url",
       L"Unexpected Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    const FailurePage page = failurePage(c.kind);
    EXPECT_EQ(page.shown, c.shown);
    EXPECT_EQ(page.textKey, c.text);
    EXPECT_EQ(page.linkKey, c.link);
    EXPECT_EQ(page.addressKey, c.address);
    EXPECT_EQ(failureReportMessage(c.kind, L"C:\\w\\remoteconfig.json", L"https://cdn.example/setup.exe"), c.report);
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
