// remoteconfig.json beside the front end, or else the service's answer, and what is logged.
#include "run/remote_config.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "platform/frontend_error.h"
#include "platform/logger.h"
#include "support/test_log.h"

using namespace kelvra::base;
using namespace kelvra::frontend;
using namespace kelvra::frontend::core;

namespace {

struct ConfigRun {
  bool threw = false;
  FailureKind kind = FailureKind::unexpected;
  std::wstring message;
  std::wstring location;
  RemoteConfigRecord config;
  Lines lines;
};

ConfigRun readConfig(const std::wstring& folder, const std::wstring& host, const std::wstring& productId = L"") {
  Logger logger(L"");
  LogTail log(Logger::logPath(false));
  ConfigRun run;
  run.config.version = "before";
  try {
    fetchRemoteConfig({folder, host, productId, L"2.0.0", HttpLimits{}}, logger, run.location, run.config);
  } catch (const FrontEndError& error) {
    run.threw = true;
    run.kind = error.kind();
    run.message = error.message();
  }
  run.lines = log.messages();
  return run;
}

}  // namespace

TEST(RemoteConfigTest, TheFileBesideTheProgramIsReadWithoutNetwork) {
  const TempFolder folder;
  const std::wstring path = folder / L"remoteconfig.json";
  writeFileBytes(path, R"({"content": {"windows": {"version": "2.3.4", "downloadLink": "https://x/s.exe"}}})");
  const ConfigRun run = readConfig(folder.path(), L"localhost:1");
  EXPECT_FALSE(run.threw);
  EXPECT_EQ(run.location, path);
  EXPECT_EQ(run.config.version, "2.3.4");
  EXPECT_EQ(run.config.downloadLink, "https://x/s.exe");
  EXPECT_EQ(run.lines, (Lines{"[information] Getting json remote config: " + toUtf8(path),
                              "[information] Getting json remote config successful"}));
}

TEST(RemoteConfigTest, ADeprecatedConfigurationIsTheOutdatedFailure) {
  const TempFolder folder;
  writeFileBytes(folder / L"remoteconfig.json", R"({"content": {"windows": {"version": "9", "deprecated": true}}})");
  const ConfigRun run = readConfig(folder.path(), L"localhost:1");
  EXPECT_TRUE(run.threw);
  EXPECT_EQ(run.kind, FailureKind::outdated);
  EXPECT_EQ(run.message, L"Remote config suggests this installer is deprecated.");
  EXPECT_EQ(run.config.version, "9");
  EXPECT_EQ(run.lines.size(), 2u);
}

TEST(RemoteConfigTest, ConfigurationsThatCannotBeReadAreTheRemoteConfigFailure) {
  struct Case {
    const char* name;
    const char* content;
    const char* cause;  // start of the logged cause
  };
  const Case cases[] = {
      {"not json", "<html>maintenance</html>", "Error reading remote config: [json.exception.parse_error.101]"},
      {"empty", "", "Error reading remote config: [json.exception.parse_error.101]"},
      {"wrong kind", R"({"content": {"windows": {"deprecated": "yes"}}})",
       "Error reading remote config: content.windows.deprecated is not true or false."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder folder;
    const std::wstring path = folder / L"remoteconfig.json";
    writeFileBytes(path, c.content);
    const ConfigRun run = readConfig(folder.path(), L"localhost:1");
    EXPECT_TRUE(run.threw);
    EXPECT_EQ(run.kind, FailureKind::remoteConfig);
    EXPECT_EQ(run.message, L"Getting json remote config: " + path);
    EXPECT_EQ(run.config.version, "");
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[2].rfind(std::string("[error] ") + c.cause, 0), 0u) << run.lines[2];
  }
}

TEST(RemoteConfigTest, AFileHeldByAnotherProgramIsTheRemoteConfigFailure) {
  const TempFolder folder;
  const std::wstring path = folder / L"remoteconfig.json";
  writeFileBytes(path, "{}");
  const ExclusiveLock lock(path);
  const ConfigRun run = readConfig(folder.path(), L"localhost:1");
  EXPECT_EQ(run.kind, FailureKind::remoteConfig);
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[2],
            "[error] Error reading remote config: Could not read the file '" + toUtf8(path) + "'. Error code 32.");
}

TEST(RemoteConfigTest, WithoutTheFileTheServiceIsAskedAndItsAddressIsTheLocation) {
  const TempFolder folder;
  // Nothing listens on port 1: the download fails at once.
  const ConfigRun run = readConfig(folder.path(), L"localhost:1", L"1234");
  const std::wstring address = L"https://localhost:1/components/webinstaller/clients/1234?component_version=2.0.0";
  EXPECT_TRUE(run.threw);
  EXPECT_EQ(run.kind, FailureKind::remoteConfig);
  EXPECT_EQ(run.location, address);
  EXPECT_EQ(run.message, L"Getting json remote config: " + address);
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[1], "[warning] Bootstrap did not dropped remote config, trying to download");
  EXPECT_EQ(run.lines[2].rfind("[error] Error reading remote config: ", 0), 0u);
}
