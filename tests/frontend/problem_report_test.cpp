// The front end's platform-free rules: cultures, the setup command line, report
// and event texts, and the download figures.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/composite_format.h"
#include "core/culture.h"
#include "core/download_statistics.h"
#include "core/event_body.h"
#include "core/problem_report.h"
#include "core/setup_command_line.h"
#include "core/text_encoding.h"

using namespace kelvra::frontend::core;

using Chain = std::vector<std::wstring>;

// base64 of {"login_parameters":"lp=1","campaign":{"id":7}} and of it redacted (members sorted).
constexpr char kStampedCampaign[] = "eyJsb2dpbl9wYXJhbWV0ZXJzIjoibHA9MSIsImNhbXBhaWduIjp7ImlkIjo3fX0=";
constexpr wchar_t kRedactedCampaign[] = L"eyJjYW1wYWlnbiI6eyJpZCI6N30sImxvZ2luX3BhcmFtZXRlcnMiOiJbcmVkYWN0ZWRdIn0=";

TEST(Culture, FallbackFollowsTheParentsOfSatelliteLookup) {
  EXPECT_EQ(cultureFallbackChain(L"es-AR"), (Chain{L"es-AR", L"es"}));
  EXPECT_EQ(cultureFallbackChain(L"es-MX"), (Chain{L"es-MX", L"es"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-TW"), (Chain{L"zh-TW", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-HK"), (Chain{L"zh-HK", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-MO"), (Chain{L"zh-MO", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-CHT"), (Chain{L"zh-CHT", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-CN"), (Chain{L"zh-CN", L"zh-Hans", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-SG"), (Chain{L"zh-SG", L"zh-Hans", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-CHS"), (Chain{L"zh-CHS", L"zh-Hans", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-Hant"), (Chain{L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"pt-BR"), (Chain{L"pt-BR", L"pt"}));
  EXPECT_EQ(cultureFallbackChain(L"sr-Latn-RS"), (Chain{L"sr-Latn-RS", L"sr-Latn", L"sr"}));
  EXPECT_EQ(cultureFallbackChain(L"de"), (Chain{L"de"}));
  EXPECT_EQ(cultureFallbackChain(L""), Chain{});
}

TEST(Culture, LanguageArgumentTakesTheFirstMatchingRow) {
  const struct {
    const wchar_t* culture;
    const wchar_t* without;
    const wchar_t* with;
  } rows[] = {
      {L"en-GB", L"en_US", L"en_US"},   {L"ru-RU", L"ru_RU", L"ru_RU"},     {L"de-AT", L"de_DE", L"de_DE"},
      {L"pl-PL", L"pl_PL", L"pl_PL"},   {L"fr-CA", L"fr_FR", L"fr_FR"},     {L"pt-BR", L"pt_BR", L"pt_BR"},
      {L"pt-PT", L"en_US", L"en-US"},   {L"zh-Hant", L"en_US", L"zh_Hant"}, {L"zh-TW", L"zh_Hans", L"zh_Hans"},
      {L"zh-CN", L"zh_Hans", L"zh_Hans"}, {L"ja-JP", L"en_US", L"ja_JP"},   {L"ko-KR", L"en_US", L"ko_KR"},
      {L"es-MX", L"en_US", L"es_MX"},   {L"es-AR", L"en_US", L"es_ES"},     {L"es-ES", L"en_US", L"es_ES"},
      {L"it-IT", L"en_US", L"it_IT"},   {L"nl-NL", L"en_US", L"en-US"},     {L"de", L"en_US", L"en-US"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(languageArgument(row.culture, false), row.without) << row.culture;
    EXPECT_EQ(languageArgument(row.culture, true), row.with) << row.culture;
  }
}

TEST(SetupCommandLine, CampaignAndProductBranches) {
  SetupCommandInputs campaign{L"de_DE", std::nullopt, std::nullopt, true, L"eyJhIjoxfQ=="};
  EXPECT_EQ(buildSetupCommandLine(campaign), L"/lang=de_DE /campaign=\"eyJhIjoxfQ==\"");
  campaign.encodedCampaign.clear();
  EXPECT_EQ(buildSetupCommandLine(campaign), L"/lang=de_DE /campaign=\"\"");

  SetupCommandInputs product{L"ja_JP", L"42", L"Star \"Game\"", true, L"ignored"};
  EXPECT_EQ(buildSetupCommandLine(product), L"/lang=ja_JP /webinstaller /product_id=42 /silent /game_name=\"Star Game\"");
  product.enoughSpaceForSilentSetup = false;
  product.gameName.reset();
  EXPECT_EQ(buildSetupCommandLine(product), L"/lang=ja_JP /webinstaller /product_id=42");
}

TEST(TextEncoding, UrlEncodingKeepsOnlyTheUnreservedCharacters) {
  EXPECT_EQ(urlEncode("a+b/c= d~\xc3\xa9"), "a%2bb%2fc%3d+d%7e%c3%a9");
  EXPECT_EQ(urlEncode("-_.!*()"), "-_.!*()");
}

TEST(ProblemReport, ProblemTextIsValidJsonWhateverTheValues) {
  ProblemFields fields{"2.0.0.0", "2.0.0", "Microsoft Windows 7 \"Ultimate\"", "1.2\\3", "https://x/y?a=\"b\"",
                       "eyJ4Ijoi8J+YgCJ9", "Failed getting json remote config: C:\\Users\\Фёдор\\remoteconfig.json"};
  const auto json = nlohmann::json::parse(buildProblemText(fields));
  const auto& arguments = json.at("Arguments");
  EXPECT_EQ(arguments.at("applicationType"), "Webinstaller");
  EXPECT_EQ(arguments.at("os"), "windows");
  EXPECT_EQ(arguments.at("osIdentification"), fields.osIdentification);
  EXPECT_EQ(arguments.at("clientVersion"), fields.clientVersion);
  EXPECT_EQ(arguments.at("payload"), "eyJ4Ijoi8J%2bYgCJ9");
  EXPECT_EQ(arguments.at("error"), fields.error);
  EXPECT_EQ(json.at("ProblemReport"), "Webinstaller-Failure");
}

TEST(ProblemReport, PayloadCarriesTheCampaignWithoutItsLoginParameters) {
  const struct {
    const char* encodedCampaign;
    const char* payload;
  } rows[] = {
      {kStampedCampaign, "eyJjYW1wYWlnbiI6eyJpZCI6N30sImxvZ2luX3BhcmFtZXRlcnMiOiJbcmVkYWN0ZWRdIn0%3d"},
      {"bHA9MDEyMzQ=", "%5bredacted%5d"},  // "lp=01234", not JSON
  };
  for (const auto& row : rows) {
    ProblemFields fields;
    fields.encodedCampaign = row.encodedCampaign;
    EXPECT_EQ(nlohmann::json::parse(buildProblemText(fields)).at("Arguments").at("payload"), row.payload);
  }
}

TEST(ProblemReport, LogTailsAreCutAt5000Characters) {
  EXPECT_EQ(logTail(std::wstring(4999, L'a')), std::wstring(4999, L'a'));
  const std::wstring longLog = std::wstring(7000, L'a') + std::wstring(5000, L'b');
  EXPECT_EQ(logTail(longLog), L"[--cut here--]\r\n" + std::wstring(5000, L'b'));
  EXPECT_EQ(logTail(std::wstring(5000, L'c')), L"[--cut here--]\r\n" + std::wstring(5000, L'c'));
}

TEST(ProblemReport, SecretsAreRedactedAndTheRestKept) {
  const std::wstring at = L"[2024-05-06 07:08:09.123] [fileLogger] [info] ";
  const std::wstring next = L"\r\n" + at + L"Token size: [92]\r\n";
  struct Case {
    const wchar_t* name;
    std::wstring log;
    std::wstring redacted;
  };
  const Case cases[] = {
      {L"read token", at + L"Succeeded to read token: [eyJsb2dpbl9w]" + next,
       at + L"Succeeded to read token: [redacted]" + next},
      {L"decoded bytes with brackets inside", at + L"Token: [{\"a\":[1],\"login_parameters\":\"lp=1\"}]" + next,
       at + L"Token: [redacted]" + next},
      {L"compact document", at + L"Decoded token: [{\"campaign\":{},\"login_parameters\":\"lp=1\"}]\r\n",
       at + L"Decoded token: [redacted]\r\n"},
      // Decoded bytes may hold line breaks; the record runs to the next timestamp.
      {L"value over several lines", at + L"Token: [{\n \"x\":\n[1]\n}]" + next, at + L"Token: [redacted]" + next},
      {L"record cut short", at + L"Token: [eyJs\r\n", at + L"Token: [redacted]\r\n"},
      {L"empty token", at + L"Token: []" + next, at + L"Token: [redacted]" + next},
      {L"look-alikes stay", at + L"Token size: [92]\r\n" + at + L"Token: copy result: [1], source path: [C:\\a]",
       at + L"Token size: [92]\r\n" + at + L"Token: copy result: [1], source path: [C:\\a]"},
      {L"member with blanks", L"[7/1/2024 1:02:03 PM] [information] Sending event: {\"meta\": {\"campaign\": "
                              L"{\"login_parameters\": \"lp=0123\", \"campaign\": {\"id\": 7}}}}\r\n",
       L"[7/1/2024 1:02:03 PM] [information] Sending event: {\"meta\": {\"campaign\": "
       L"{\"login_parameters\": \"[redacted]\", \"campaign\": {\"id\": 7}}}}\r\n"},
      {L"compact member, escapes inside", L"{\"login_parameters\":\"a\\\"b\\\\\",\"x\":\"login_parameters\"}",
       L"{\"login_parameters\":\"[redacted]\",\"x\":\"login_parameters\"}"},
      {L"member escaped inside a string", L"\"error\": \"{\\\"login_parameters\\\":\\\"lp=\\\\\\\"9\\\"}\"",
       L"\"error\": \"{\\\"login_parameters\\\":\\\"[redacted]\\\"}\""},
      {L"twice escaped", L"\\\\\\\"login_parameters\\\\\\\": \\\\\\\"lp=5\\\\\\\"",
       L"\\\\\\\"login_parameters\\\\\\\": \\\\\\\"[redacted]\\\\\\\""},
      {L"value of another kind", L"{\"login_parameters\": {\"lp\": [1, \"}\"]}, \"b\": 2}\n\"login_parameters\":12,",
       L"{\"login_parameters\": [redacted], \"b\": 2}\n\"login_parameters\":[redacted],"},
      {L"unterminated string ends with its line", L"{\"login_parameters\": \"lp=77\r\nnext line",
       L"{\"login_parameters\": \"[redacted]\r\nnext line"},
      {L"setup's campaign argument", at + L"launching: C:\\t\\KelvraSetup.exe with args: /lang=en_US /campaign=\"" +
                                         std::wstring(std::begin(kStampedCampaign), std::end(kStampedCampaign) - 1) + L"\"" + next,
       at + L"launching: C:\\t\\KelvraSetup.exe with args: /lang=en_US /campaign=\"" + kRedactedCampaign + L"\"" + next},
      {L"campaign argument that is not base64 of JSON", L"/campaign=\"bHA9MDEyMzQ=\" /campaign=\"\" /campaign=\"e30=",
       L"/campaign=\"[redacted]\" /campaign=\"\" /campaign=\"e30="},
      {L"not a member", L"login_parameters: lp=1; \"login_parameters\" is a key; \"xlogin_parameters\":\"v\"",
       L"login_parameters: lp=1; \"login_parameters\" is a key; \"xlogin_parameters\":\"v\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name);
    EXPECT_EQ(redactSecrets(c.log), c.redacted);
    EXPECT_EQ(redactSecrets(c.redacted), c.redacted);
  }
}

TEST(ProblemReport, SnippetCarriesRedactedLogsCutAfterwards) {
  // A token longer than the cut: cutting first would leave its end behind.
  const std::wstring line = L"[2024-05-06 07:08:09.123] [fileLogger] [info] Token: [";
  const LogForReport log{L"b.log", line + std::wstring(6000, L'x') + L"]\r\n"};
  EXPECT_EQ(buildLogSnippet(log, log), L"b.log content:\r\n" + line + L"redacted]\r\n\r\nb.log content:\r\n" + line +
                                           L"redacted]\r\n");
}

TEST(ProblemReport, SnippetNamesBothLogsEvenWhenMissing) {
  const LogForReport frontEnd{L"C:\\logs\\InstallerWebinstaller.log", std::nullopt};
  const LogForReport bootstrapper{L"C:\\logs\\InstallerBootstrapper.log", std::wstring()};
  EXPECT_EQ(buildLogSnippet(frontEnd, bootstrapper),
            L"C:\\logs\\InstallerWebinstaller.log content:\r\n\r\nC:\\logs\\InstallerBootstrapper.log content:\r\n");
  const LogForReport withText{L"f.log", L"line\r\n"};
  EXPECT_EQ(buildLogSnippet(withText, withText), L"f.log content:\r\nline\r\n\r\nf.log content:\r\nline\r\n");
}

TEST(ProblemReport, BodyCarriesTheMessageAndTheEncodedSnippet) {
  EXPECT_EQ(buildProblemReportBody("{}", "ab?"), "problem_message={} & log_snippet=YWI%2f");
}

TEST(EventBody, IsJsonWithTheCampaignRaw) {
  bool replaced = true;
  const std::string campaign = campaignForEvent(R"({"campaign":{"id":"Björn"},"login_parameters":"x"})", replaced);
  EXPECT_FALSE(replaced);
  EventFields fields{"kelvra_download_started", formatEventDate(2026, 12, 8, 3, 4, 5, 120),
                     "0f8fad5b-d9cb-469f-a165-70867728950e", campaign, cleanClientVersion("v2.1.3-beta\""), "2.1.4"};
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
  for (const std::string_view bad : {std::string_view(""), std::string_view("{"), std::string_view("not json"),
                                     std::string_view("{} trailing"), std::string_view("{\"a\":1}}"),
                                     std::string_view("\"x\"\0{", 5), std::string_view("\xEF\xBB\xBF{}")}) {
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
  EXPECT_EQ(friendlySystemName(L"Windows 7 Ultimate", L"Service Pack 1"), L"Microsoft Windows 7 Ultimate Service Pack 1");
  EXPECT_EQ(friendlySystemName(L"Microsoft Windows XP", L""), L"Microsoft Windows XP");
  EXPECT_EQ(friendlySystemName(L"", L"Service Pack 1"), L"");
}

TEST(CompositeFormat, FillsIndexedPlaceholdersAndKeepsTheRest) {
  EXPECT_EQ(formatComposite(L"Downloading ZAV Kelvra - {0} {2} of {1} {2}", {L"12", L"80", L"MB"}),
            L"Downloading ZAV Kelvra - 12 MB of 80 MB");
  EXPECT_EQ(formatComposite(L"{0} - ZAV Kelvra Web Installer", {L"Game"}), L"Game - ZAV Kelvra Web Installer");
  EXPECT_EQ(formatComposite(L"{{literal}} {1} {x} {", {L"a"}), L"{literal} {1} {x} {");
}

TEST(DownloadStatistics, RecordsSpeedsAndRoundsMegabytesHalfToEven) {
  DownloadStatistics statistics;
  statistics.record(1000, 4000, 1.0);
  statistics.record(3000, 4000, 2.0);
  // instant 2000 B/s, average 1500 B/s: 0.1 * 2000 + 0.9 * 1500
  EXPECT_EQ(statistics.speedSnapshots()[0], 1550);
  EXPECT_EQ(statistics.speedSnapshots()[1], 1000);
  EXPECT_EQ(statistics.received(), 3000u);
  EXPECT_EQ(DownloadStatistics::megabytes(1048576 / 2), 0);
  EXPECT_EQ(DownloadStatistics::megabytes(1048576 + 1048576 / 2), 2);
  EXPECT_EQ(DownloadStatistics::megabytes(1048576 * 3 - 1), 3);
}
