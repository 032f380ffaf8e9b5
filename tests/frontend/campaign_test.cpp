// payload.campaign beside the front end, with the lines it logs.
#include "run/campaign.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "platform/logger.h"
#include "support/test_log.h"

using namespace kelvra::base;
using namespace kelvra::frontend;

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
    LogTail log(Logger::logPath(false));
    std::string campaign = "{}";
    std::string encoded;
    EXPECT_EQ(readCampaign(folder.path(), logger, campaign, encoded), CampaignReading::readOrAbsent);
    EXPECT_EQ(campaign, c.campaign);
    EXPECT_EQ(encoded, c.encoded);
    EXPECT_EQ(log.messages(), Lines{});
  }
}

TEST(CampaignTest, AnEarlierCampaignIsKeptAndAnOverrideLogged) {
  const TempFolder folder;
  writeFileBytes(folder / L"payload.campaign", R"({"from":"file"})");
  Logger logger(L"");
  LogTail log(Logger::logPath(false));
  std::string campaign = R"({"from":"elsewhere"})";
  std::string encoded = "e30=";
  EXPECT_EQ(readCampaign(folder.path(), logger, campaign, encoded), CampaignReading::readOrAbsent);
  EXPECT_EQ(campaign, R"({"from":"elsewhere"})");
  EXPECT_EQ(encoded, "e30=");
  EXPECT_EQ(log.messages(), Lines{"[warning] Commandline campaign override: e30="});
}

TEST(CampaignTest, AnUnreadableFileIsLoggedAndReported) {
  const TempFolder folder;
  const std::wstring path = folder / L"payload.campaign";
  writeFileBytes(path, "{}");
  const ExclusiveLock lock(path);
  Logger logger(L"");
  LogTail log(Logger::logPath(false));
  std::string campaign = "{}";
  std::string encoded;
  EXPECT_EQ(readCampaign(folder.path(), logger, campaign, encoded), CampaignReading::unreadable);
  EXPECT_EQ(campaign, "{}");
  EXPECT_EQ(encoded, "");
  const std::string where = toUtf8(path);
  EXPECT_EQ(log.messages(), Lines{"[error] Error loading campaign: " + where + ", Could not read the file '" + where +
                                  "'. Error code 32."});
}
