// The front end's start-up inputs under Wine: the string tables found beside the
// executable, payload.campaign and remoteconfig.json, with the lines they log; and
// the HTTP client's pause between the setup download's tries.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "campaign.h"
#include "core/text_encoding.h"
#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "frontend_error.h"
#include "frontend_strings.h"
#include "http_client.h"
#include "localized_strings.h"
#include "logger.h"
#include "remote_config.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kelvra::base;
using namespace kelvra::frontend;
using namespace kelvra::frontend::core;

namespace {

const std::wstring kPayload = KELVRA_TEST_PAYLOAD_DIR;

using Lines = std::vector<std::pair<std::string, std::string>>;

// The lines the front end's log gains while the object lives, as (level, message).
class LogWatch {
 public:
  LogWatch() : start_(readFileBytes(Logger::logPath(false)).size()) {}
  [[nodiscard]] Lines lines() const {
    const std::string text = readFileBytes(Logger::logPath(false)).substr(start_);
    Lines found;
    for (std::string line : splitLines(text)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto level = line.find("] [");
      const auto message = line.find("] ", level + 3);
      if (line.empty() || level == std::string::npos || message == std::string::npos) continue;
      found.emplace_back(line.substr(level + 3, message - level - 3), line.substr(message + 2));
    }
    return found;
  }

 private:
  std::size_t start_;
};

ScopedModule dataModule(const std::wstring& path) {
  return ScopedModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

// The culture's own text of a key, straight from its table.
std::wstring tableText(const std::wstring& culture, unsigned id) {
  const ScopedModule module = dataModule(culture.empty() ? kPayload + L"\\KelvraInstaller.exe"
                                                         : kPayload + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll");
  const wchar_t* text = nullptr;
  const int length = LoadStringW(module.get(), id, reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

unsigned idOf(std::wstring_view key) {
  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    if (key == entry.key) return entry.id;
  }
  return 0;
}

// A text that Spain's and Mexico's tables word differently.
const unsigned kLabelWaitEndId = idOf(L"labelWaitEnd");

// Holds a file open without sharing, as another program might.
ScopedFileHandle lockFile(const std::wstring& path) {
  return ScopedFileHandle(
      CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

TEST(LocalizedStringsTest, FallsBackFromTheCultureToItsParentsThenEnglish) {
  const ScopedModule english = dataModule(kPayload + L"\\KelvraInstaller.exe");
  ASSERT_NE(english.get(), nullptr);
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"de-DE", L"de"},   {L"de-AT", L"de"},   {L"ja-JP", L"ja"},       {L"pt-BR", L"pt-BR"},
      {L"es-MX", L"es-MX"}, {L"es-AR", L"es"},  {L"es-ES", L"es"},       {L"zh-TW", L"zh-Hant"},
      {L"zh-CN", L"zh"},   {L"fr-CA", L"fr"},   {L"pt-PT", L""},         {L"en-US", L""},
      {L"sv-SE", L""},     {L"", L""},
  };
  for (const auto& [culture, table] : cases) {
    SCOPED_TRACE(toUtf8(culture));
    const LocalizedStrings strings(english.get(), kPayload, culture);
    const std::wstring expected = tableText(table, kLabelWaitEndId);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(strings.get(L"labelWaitEnd"), expected);
  }
  // The tables differ where the test relies on it.
  EXPECT_NE(tableText(L"es", kLabelWaitEndId), tableText(L"es-MX", kLabelWaitEndId));
}

TEST(LocalizedStringsTest, KeysWithoutAStringYieldNothing) {
  const ScopedModule english = dataModule(kPayload + L"\\KelvraInstaller.exe");
  const LocalizedStrings strings(english.get(), kPayload, L"de-DE");
  EXPECT_EQ(strings.get(L"errorSpace_url"), L"");
  EXPECT_EQ(strings.get(L"errorSpace_link"), L"");
  EXPECT_EQ(strings.get(L"noSuchKey"), L"");
  EXPECT_FALSE(strings.get(L"errorSpace").empty());
}

TEST(LocalizedStringsTest, AMissingCultureFileFallsToItsParent) {
  const TempFolder folder;
  CreateDirectoryW((folder / L"es").c_str(), nullptr);
  CopyFileW((kPayload + L"\\es\\KelvraWebInstaller.resources.dll").c_str(),
            (folder / L"es\\KelvraWebInstaller.resources.dll").c_str(), FALSE);
  const ScopedModule english = dataModule(kPayload + L"\\KelvraInstaller.exe");
  const LocalizedStrings strings(english.get(), folder.path(), L"es-MX");
  EXPECT_EQ(strings.loadedCultures(), std::vector<std::wstring>{L"es"});
  EXPECT_EQ(strings.get(L"labelWaitEnd"), tableText(L"es", kLabelWaitEndId));
}

TEST(CampaignTest, ReadsTheFileWhenItHoldsSomething) {
  struct Case {
    const char* name;
    const char* content;  // nullptr: no file
    const char* campaign;
    const char* encoded;
  };
  const Case cases[] = {
      {"missing", nullptr, "{}", ""},
      {"empty", "", "{}", ""},
      {"present", R"({"campaign":{"id":7}})", R"({"campaign":{"id":7}})", "eyJjYW1wYWlnbiI6eyJpZCI6N319"},
      {"byte order mark dropped", "\xEF\xBB\xBF{}", "{}", "e30="},
      {"malformed UTF-8 replaced", "{\"a\":\"\xFF\"}", "{\"a\":\"\xEF\xBF\xBD\"}", "eyJhIjoi77+9In0="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder folder;
    if (c.content != nullptr) writeFileBytes(folder / L"payload.campaign", c.content);
    Logger logger(L"");
    const LogWatch log;
    std::string campaign = "{}";
    std::string encoded;
    EXPECT_FALSE(readCampaign(folder.path(), logger, campaign, encoded));
    EXPECT_EQ(campaign, c.campaign);
    EXPECT_EQ(encoded, c.encoded);
    EXPECT_EQ(log.lines(), Lines{});
  }
}

TEST(CampaignTest, AnEarlierCampaignIsKeptAndAnOverrideLogged) {
  const TempFolder folder;
  writeFileBytes(folder / L"payload.campaign", R"({"from":"file"})");
  Logger logger(L"");
  const LogWatch log;
  std::string campaign = R"({"from":"elsewhere"})";
  std::string encoded = "e30=";
  EXPECT_FALSE(readCampaign(folder.path(), logger, campaign, encoded));
  EXPECT_EQ(campaign, R"({"from":"elsewhere"})");
  EXPECT_EQ(encoded, "e30=");
  EXPECT_EQ(log.lines(), (Lines{{"warning", "Commandline campaign override: e30="}}));
}

TEST(CampaignTest, AnUnreadableFileIsLoggedAndReported) {
  const TempFolder folder;
  const std::wstring path = folder / L"payload.campaign";
  writeFileBytes(path, "{}");
  const ScopedFileHandle lock = lockFile(path);
  Logger logger(L"");
  const LogWatch log;
  std::string campaign = "{}";
  std::string encoded;
  EXPECT_TRUE(readCampaign(folder.path(), logger, campaign, encoded));
  EXPECT_EQ(campaign, "{}");
  EXPECT_EQ(encoded, "");
  const std::string where = toUtf8(path);
  EXPECT_EQ(log.lines(), (Lines{{"error", "Error loading campaign: " + where + ", Could not read the file '" + where +
                                              "'. Error code 32."}}));
}

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
  const LogWatch log;
  ConfigRun run;
  run.config.version = "before";
  try {
    readRemoteConfig({folder, host, productId, L"2.0.0", HttpLimits{}}, logger, run.location, run.config);
  } catch (const FrontEndError& error) {
    run.threw = true;
    run.kind = error.kind();
    run.message = error.message();
  }
  run.lines = log.lines();
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
  EXPECT_EQ(run.lines, (Lines{{"information", "Getting json remote config: " + toUtf8(path)},
                              {"information", "Getting json remote config successful"}}));
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
    EXPECT_EQ(run.lines[2].first, "error");
    EXPECT_EQ(run.lines[2].second.rfind(c.cause, 0), 0u) << run.lines[2].second;
  }
}

TEST(RemoteConfigTest, AFileHeldByAnotherProgramIsTheRemoteConfigFailure) {
  const TempFolder folder;
  const std::wstring path = folder / L"remoteconfig.json";
  writeFileBytes(path, "{}");
  const ScopedFileHandle lock = lockFile(path);
  const ConfigRun run = readConfig(folder.path(), L"localhost:1");
  EXPECT_EQ(run.kind, FailureKind::remoteConfig);
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[2], (std::pair<std::string, std::string>{
                              "error", "Error reading remote config: Could not read the file '" + toUtf8(path) +
                                           "'. Error code 32."}));
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
  EXPECT_EQ(run.lines[1], (std::pair<std::string, std::string>{
                              "warning", "Bootstrap did not dropped remote config, trying to download"}));
  EXPECT_EQ(run.lines[2].second.rfind("Error reading remote config: ", 0), 0u);
}

TEST(LoggerTest, BothLogsShareTheBootstrappersFolder) {
  const std::wstring own = Logger::logPath(false);
  const std::wstring bootstrapper = Logger::logPath(true);
  const std::wstring folder = L"\\ZAVsoft\\Kelvra\\logs\\";
  ASSERT_GT(own.size(), folder.size());
  EXPECT_EQ(own.substr(own.size() - folder.size() - 25), folder + L"InstallerWebinstaller.log");
  EXPECT_EQ(bootstrapper.substr(0, bootstrapper.size() - 25), own.substr(0, own.size() - 25));
  EXPECT_EQ(bootstrapper.substr(bootstrapper.size() - 25), L"InstallerBootstrapper.log");
}

// Closing the window aborts the download; a pause before its next try must end
// then, whether the abort comes before or during it.
TEST(HttpClientTest, AnAbortEndsThePauseBeforeTheNextTry) {
  HttpClient client(L"ZAVWebinstaller/test");
  std::thread aborting([&client] { client.abort(); });
  // An hour: far beyond the test's time-out, so only the abort can end it.
  EXPECT_TRUE(client.pauseUnlessAborted(3600000));
  aborting.join();
  HttpClient idle(L"ZAVWebinstaller/test");
  EXPECT_FALSE(idle.pauseUnlessAborted(1));
}
