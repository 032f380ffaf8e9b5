// The token's payload files: the raw token, then the decoded campaign.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "support/test_log.h"
#include "token/token.h"

using namespace kelvra::base;
using namespace kelvra::token;

namespace {

using TokenFileTest = LoggedTest;

// A token of the distributed shape: 92 characters for 69 bytes of JSON, with
// login_parameters before campaign.
const std::string kToken92 =
    "eyJsb2dpbl9wYXJhbWV0ZXJzIjoibHA9MDEyMzQiLCJjYW1wYWlnbiI6eyJzb3VyY2UiOiJtYWlsIiwiaWQiOiI3In19";
const std::string kCampaign69 = R"({"campaign":{"id":"7","source":"mail"},"login_parameters":"lp=01234"})";

struct PayloadCase {
  const char* name;
  std::string token;
  // Content of payload.campaign, or nullopt when it must not exist.
  std::optional<std::string> campaign;
  Lines decodeLines;
};

class PayloadFiles : public LoggedTest, public ::testing::WithParamInterface<PayloadCase> {};

// The driver's order: the raw file, then decoding, then the decoded file.
TEST_P(PayloadFiles, LeaveTheTokenRawAndDecoded) {
  const PayloadCase& c = GetParam();
  const std::wstring raw = folder.path() + L"\\payload.base64";
  const std::wstring decodedPath = folder.path() + L"\\payload.campaign";
  EXPECT_FALSE(writeTokenFile(c.token, raw));
  std::string decoded = "untouched";
  const bool decodeFailed = decodeToken(c.token, decoded);
  if (!decodeFailed) {
    EXPECT_FALSE(writeTokenFile(decoded, decodedPath));
  }

  EXPECT_EQ(readFileBytes(raw), c.token);
  EXPECT_TRUE(fileExists(raw));
  EXPECT_EQ(decodeFailed, !c.campaign.has_value());
  if (c.campaign) {
    EXPECT_EQ(readFileBytes(decodedPath), *c.campaign);
  } else {
    EXPECT_EQ(decoded, "untouched");
    EXPECT_FALSE(fileExists(decodedPath));
  }
  Lines expected{"[info] Trying to dump personalized token to [" + toUtf8(raw) + "]"};
  expected.insert(expected.end(), c.decodeLines.begin(), c.decodeLines.end());
  if (c.campaign) expected.push_back("[info] Trying to dump personalized token to [" + toUtf8(decodedPath) + "]");
  EXPECT_EQ(log.messages(), expected);
}

TEST_F(TokenFileTest, PayloadFileIsReplacedNotAppendedTo) {
  const std::wstring path = folder.path() + L"\\payload.campaign";
  writeFileBytes(path, std::string(500, '#'));
  EXPECT_FALSE(writeTokenFile("{}", path));
  EXPECT_EQ(readFileBytes(path), "{}");
}

TEST_F(TokenFileTest, PayloadFileThatCannotBeCreatedFails) {
  const std::wstring missing = folder / L"missing" + L"\\payload.base64";
  EXPECT_TRUE(writeTokenFile("e30=", missing));
  const std::wstring locked = folder.path() + L"\\payload.base64";
  writeFileBytes(locked, "old");
  {
    const ExclusiveLock lock(locked);
    EXPECT_TRUE(writeTokenFile("e30=", locked));
  }
  EXPECT_EQ(readFileBytes(locked), "old");
  EXPECT_EQ(log.messages(), (Lines{"[info] Trying to dump personalized token to [" + toUtf8(missing) + "]",
                                   "[error] CreateFile failed with error 3",
                                   "[info] Trying to dump personalized token to [" + toUtf8(locked) + "]",
                                   "[error] CreateFile failed with error 32"}));
}

const std::string kEmptyParseError =
    "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing value - "
    "unexpected end of input; expected '[', '{', or a literal";

INSTANTIATE_TEST_SUITE_P(
    Tokens, PayloadFiles,
    ::testing::Values(
        PayloadCase{"NoToken",
                    "",
                    std::nullopt,
                    {"[info] Token: []", "[error] Failed to parse payload data, error [" + kEmptyParseError + "]."}},
        PayloadCase{
            "DistributedToken",
            kToken92,
            kCampaign69,
            {"[info] Token: [{\"campaign\":{\"id\":\"7\",\"source\":\"mail\"},\"login_parameters\":\"[redacted]\"}]",
             "[info] Decoded token: "
             "[{\"campaign\":{\"id\":\"7\",\"source\":\"mail\"},\"login_parameters\":\"[redacted]\"}]"}},
        PayloadCase{"Utf8KeptAndKeysSorted",
                    "eyJ6IjoiR3LDvMOfZSIsImEiOjF9",
                    "{\"a\":1,\"z\":\"Gr\xC3\xBC\xC3\x9F"
                    "e\"}",
                    {"[info] Token: [{\"a\":1,\"z\":\"Gr\xC3\xBC\xC3\x9F"
                     "e\"}]",
                     "[info] Decoded token: [{\"a\":1,\"z\":\"Gr\xC3\xBC\xC3\x9F"
                     "e\"}]"}},
        PayloadCase{"LengthNotAMultipleOfFour",
                    "abcde",
                    std::nullopt,
                    {"[error] Failed to parse base64 token, error [Input data size is not a multiple of 4]"}},
        PayloadCase{"LineBreakGarblesTheText",
                    "eyJhIjox\r\nfQ",
                    std::nullopt,
                    {"[info] Token: [[redacted]]",
                     "[error] Failed to parse payload data, error [[json.exception.parse_error.101] parse error at "
                     "line 1, column 7: syntax error while parsing object - [redacted]]."}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
