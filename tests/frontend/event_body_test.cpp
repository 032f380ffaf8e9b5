#include "core/event_body.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace kelvra::frontend::core;

TEST(EventBody, IsJsonWithTheCampaignRaw) {
  bool replaced = true;
  const std::string campaign = campaignForEvent(R"({"campaign":{"id":"Björn"},"login_parameters":"x"})", replaced);
  EXPECT_FALSE(replaced);
  EventFields fields{"kelvra_download_started",
                     formatEventDate(2026, 12, 8, 3, 4, 5, 120),
                     "0f8fad5b-d9cb-469f-a165-70867728950e",
                     campaign,
                     cleanClientVersion("v2.1.3-beta\""),
                     "2.1.4"};
  const std::string body = buildEventBody(fields);
  const auto json = nlohmann::json::parse(body);
  EXPECT_EQ(json.at("type"), "kelvra_download_started");
  EXPECT_EQ(json.at("date"), "2026-12-08T03:04:05+02:00");
  EXPECT_EQ(json.at("uuid"), "0f8fad5b-d9cb-469f-a165-70867728950e");
  EXPECT_EQ(json.at("meta").at("campaign").at("campaign").at("id"), "Björn");
  EXPECT_EQ(json.at("data").at("current_version"), "2.1.3");
  EXPECT_EQ(json.at("data").at("version"), "2.1.4");
  EXPECT_EQ(body.find("{\"type\": \"kelvra_download_started\", \"date\": "), 0u);
}

TEST(EventBody, CampaignThatIsNotJsonBecomesAnEmptyObject) {
  // The last two: a document, a zero byte and more text; a byte order mark before
  // a document.
  for (const std::string_view bad :
       {std::string_view(""), std::string_view("{"), std::string_view("not json"), std::string_view("{} trailing"),
        std::string_view("{\"a\":1}}"), std::string_view("\"x\"\0{", 5), std::string_view("\xEF\xBB\xBF{}")}) {
    bool replaced = false;
    EXPECT_EQ(campaignForEvent(bad, replaced), "{}") << bad;
    EXPECT_TRUE(replaced) << bad;
  }
}

TEST(EventBody, DateEndsInItsOffsetFromUtc) {
  EXPECT_EQ(formatEventDate(2026, 1, 2, 3, 4, 5, -330), "2026-01-02T03:04:05-05:30");
  EXPECT_EQ(formatEventDate(2026, 1, 2, 3, 4, 5, 0), "2026-01-02T03:04:05+00:00");
  EXPECT_EQ(formatEventDate(2026, 1, 2, 3, 4, 5, 345), "2026-01-02T03:04:05+05:45");
}

TEST(EventBody, FriendlySystemName) {
  EXPECT_EQ(friendlySystemName(L"Windows 7 Ultimate", L"Service Pack 1"),
            L"Microsoft Windows 7 Ultimate Service Pack 1");
  EXPECT_EQ(friendlySystemName(L"Microsoft Windows XP", L""), L"Microsoft Windows XP");
  EXPECT_EQ(friendlySystemName(L"", L"Service Pack 1"), L"");
}
