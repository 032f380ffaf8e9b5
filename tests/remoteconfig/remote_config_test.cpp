// The remote-configuration step under Wine with a local override: no network is
// touched, so these cover the folder, copy, read and JSON paths. Downloads are
// covered by the scenario test against a local HTTPS server.
#include "remoteconfig/remote_config.h"

#include <windows.h>

#include <shlwapi.h>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "remoteconfig/remote_config_internal.h"
#include "support/scoped_environment.h"
#include "support/test_log.h"

using namespace kelvra::base;
using namespace kelvra::remoteconfig;

namespace {

// Nothing listens there; a download attempt would show as a failure line.
constexpr wchar_t kUnusedBaseUrl[] = L"https://localhost:1/components/webinstaller?component_version=2.0.0";
constexpr char kOverrideLine[] = "[info] Using local remote-config override.";

class RemoteConfigTest : public LoggedTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(current.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr));
  }

  [[nodiscard]] bool fetch() {
    const ScopedCurrentDirectory inCurrent(current);
    return kelvra::remoteconfig::internal::fetchRemoteConfigFrom(kUnusedBaseUrl, working, L"", version);
  }

  std::wstring current = folder / L"current";
  std::wstring override = current + L"\\remoteconfig.json";
  std::wstring working = folder / L"KelvraInstaller_abcde";
  std::wstring destination = working + L"\\remoteconfig.json";
  std::string version = "0.0.0";
};

std::string parseLine(const std::string& error) {
  return "[error] Failed to parse remote config data, error [" + error + "]. Installation should proceed as normal.";
}

std::string typeLine(const std::string& error) {
  return "[error] Failed to get version from json, error [" + error + "]. Installation should proceed as normal.";
}

// A valid document padded with spaces to exactly size bytes.
std::string paddedDocument(std::size_t size) {
  std::string text = R"({"content":{"windows":{"version":"4.5.6"}}})";
  text.resize(size, ' ');
  return text;
}

struct OverrideCase {
  const char* name;
  std::string content;
  bool failed;
  std::string version;
  std::string errorLine;
};

class LocalOverride : public RemoteConfigTest, public ::testing::WithParamInterface<OverrideCase> {};

TEST_P(LocalOverride, IsCopiedAndReadWithoutNetwork) {
  const OverrideCase& c = GetParam();
  writeFileBytes(override, c.content);
  EXPECT_EQ(fetch(), c.failed);
  EXPECT_EQ(version, c.version);
  EXPECT_EQ(readFileBytes(destination), c.content) << "the file stays for the front end";
  Lines expected{kOverrideLine};
  if (!c.errorLine.empty()) expected.push_back(c.errorLine);
  EXPECT_EQ(log.messages(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, LocalOverride,
    ::testing::Values(
        OverrideCase{"VersionFound", R"({"content":{"windows":{"version":"2.0.7"},"mac":{}},"url":"x"})", false,
                     "2.0.7", ""},
        OverrideCase{"VersionIsANumber", R"({"content":{"windows":{"version":207}}})", true, "0.0.0",
                     typeLine("[json.exception.type_error.302] type must be string, but is number")},
        OverrideCase{"NoContent", R"({"windows":{"version":"2.0.7"}})", true, "0.0.0",
                     typeLine("[json.exception.type_error.302] type must be string, but is null")},
        OverrideCase{"TopLevelArray", R"([{"content":{"windows":{"version":"2.0.7"}}}])", true, "0.0.0",
                     typeLine("[json.exception.type_error.305] cannot use operator[] with a string argument with "
                              "array")},
        OverrideCase{"EmptyFile", "", true, "0.0.0",
                     parseLine("[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
                               "parsing value - unexpected end of input; expected '[', '{', or a literal")},
        OverrideCase{"ZeroByteAfterTheDocument",
                     std::string(R"({"content":{"windows":{"version":"2.0.8"}}})") + std::string("\0trailing", 9),
                     false, "2.0.8", ""},
        OverrideCase{"LargestFileThatIsReadWhole", paddedDocument(65535), false, "4.5.6", ""},
        OverrideCase{"LongerFileIsCutAfter65535Bytes", paddedDocument(65535) + "x", false, "4.5.6", ""},
        OverrideCase{"CutInsideTheDocument", std::string(65530, ' ') + R"({"content":{}})", true, "0.0.0",
                     parseLine("[json.exception.parse_error.101] parse error at line 1, column 65536: syntax error "
                               "while parsing object key - invalid string: missing closing quote; last read: '\"con'; "
                               "expected string literal")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RemoteConfigTest, OverrideThatCannotBeCopiedIsNotReplacedByADownload) {
  writeFileBytes(override, R"({"content":{"windows":{"version":"2.0.7"}}})");
  const ExclusiveLock lock(override);
  EXPECT_TRUE(fetch());
  EXPECT_EQ(version, "0.0.0");
  EXPECT_TRUE(PathIsDirectoryEmptyW(working.c_str())) << "nothing reaches the working folder";
  EXPECT_EQ(log.messages(), Lines{"[error] Failed to copy local remote-config override from path remoteconfig.json "
                                  "to path " +
                                  toUtf8(destination) + ". Error code 32."});
}

}  // namespace
