// What a problem report carries: its JSON text, the redacted and cut logs, the body.
#include "core/problem_report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace kelvra::frontend::core;

// base64 of {"login_parameters":"lp=1","campaign":{"id":7}} and of it redacted (members sorted).
constexpr char kStampedCampaign[] = "eyJsb2dpbl9wYXJhbWV0ZXJzIjoibHA9MSIsImNhbXBhaWduIjp7ImlkIjo3fX0=";
constexpr wchar_t kRedactedCampaign[] = L"eyJjYW1wYWlnbiI6eyJpZCI6N30sImxvZ2luX3BhcmFtZXRlcnMiOiJbcmVkYWN0ZWRdIn0=";

TEST(ProblemReport, ProblemTextIsValidJsonWhateverTheValues) {
  ProblemFields fields{"2.0.0.0",
                       "2.0.0",
                       "Microsoft Windows 7 \"Ultimate\"",
                       "1.2\\3",
                       "https://x/y?a=\"b\"",
                       "eyJ4Ijoi8J+YgCJ9",
                       "Failed getting json remote config: C:\\Users\\Фёдор\\remoteconfig.json"};
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
      {L"member with blanks",
       L"[7/1/2024 1:02:03 PM] [information] Sending event: {\"meta\": {\"campaign\": "
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
      {L"setup's campaign argument",
       at + L"launching: C:\\t\\KelvraSetup.exe with args: /lang=en_US /campaign=\"" +
           std::wstring(std::begin(kStampedCampaign), std::end(kStampedCampaign) - 1) + L"\"" + next,
       at + L"launching: C:\\t\\KelvraSetup.exe with args: /lang=en_US /campaign=\"" + kRedactedCampaign + L"\"" +
           next},
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
  EXPECT_EQ(buildLogSnippet(log, log),
            L"b.log content:\r\n" + line + L"redacted]\r\n\r\nb.log content:\r\n" + line + L"redacted]\r\n");
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
