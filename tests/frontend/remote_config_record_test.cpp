// The remote configuration's mapping (with the optional second digest) and address.
#include "core/remote_config_record.h"

#include <optional>

#include <gtest/gtest.h>

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
     false,
     {"2.1.0", "https://cdn.example/setup.exe", "ABC123", std::nullopt, false}},
    {"second digest",
     R"({"content": {"windows": {"installerMd5": "ab",
         "installerSha256": "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08"}}})",
     false,
     {"", "", "ab", "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08", false}},
    // Kept as given: the digest check refuses what is not 64 hexadecimal digits.
    {"second digest empty", R"({"content": {"windows": {"installerSha256": ""}}})", false, {"", "", "", "", false}},
    {"second digest short",
     R"({"content": {"windows": {"installerSha256": "9f86"}}})",
     false,
     {"", "", "", "9f86", false}},
    {"second digest null", R"({"content": {"windows": {"installerSha256": null}}})", false, {}},
    {"second digest a number", R"({"content": {"windows": {"installerSha256": 12}}})", true, {}},
    {"second digest an array", R"({"content": {"windows": {"installerSha256": ["9f86"]}}})", true, {}},
    {"deprecated", R"({"content": {"windows": {"deprecated": true}}})", false, {"", "", "", std::nullopt, true}},
    {"absent members keep defaults", R"({"content": {"windows": {}}})", false, {}},
    {"no content", R"({"version": "1"})", false, {}},
    {"null members", R"({"content": {"windows": {"version": null, "deprecated": null}}})", false, {}},
    {"null content", R"({"content": null})", false, {}},
    {"byte order mark",
     "\xEF\xBB\xBF{\"content\": {\"windows\": {\"version\": \"1.0\"}}}",
     false,
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
