// The decoded token written back compactly. Messages are the JSON library's own.
#include "contract/token_payload.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/base64.h"

using namespace kelvra::contract;

namespace {

struct PayloadCase {
  const char* name;
  std::string decoded;
  PayloadFailure failure;
  std::string text;
};

class Payload : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(Payload, IsWrittenBackCompactly) {
  const CompactPayload payload = compactPayload(GetParam().decoded);
  EXPECT_EQ(payload.failure, GetParam().failure);
  EXPECT_EQ(payload.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, Payload,
    ::testing::Values(
        PayloadCase{
            "KeysInByteOrder", R"({"login_parameters":"lp=1","campaign":{"source":"mail","Medium":"x","b":[1,2]}})",
            PayloadFailure::none, R"({"campaign":{"Medium":"x","b":[1,2],"source":"mail"},"login_parameters":"lp=1"})"},
        PayloadCase{"WhiteSpaceDroppedUtf8Kept",
                    "{ \"campaign\" : { \"name\" : \"Gr\xC3\xBC\xC3\x9F"
                    "e \xE2\x82\xAC\" } }\n",
                    PayloadFailure::none,
                    "{\"campaign\":{\"name\":\"Gr\xC3\xBC\xC3\x9F"
                    "e \xE2\x82\xAC\"}}"},
        PayloadCase{"EscapesAsJsonRequires", R"({"q":"a\"b\u0001\/"})", PayloadFailure::none, R"({"q":"a\"b\u0001/"})"},
        PayloadCase{"BareString", R"("just text")", PayloadFailure::none, R"("just text")"},
        PayloadCase{"BareNumber", "42", PayloadFailure::none, "42"},
        PayloadCase{"ZeroByteEndsTheInput", std::string("{\"a\":1}\0{{{", 11), PayloadFailure::none, R"({"a":1})"},
        PayloadCase{"Empty", "", PayloadFailure::parse,
                    "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing "
                    "value - unexpected end of input; expected '[', '{', or a literal"},
        PayloadCase{"TextAfterTheDocument", R"({"a":1}})", PayloadFailure::parse,
                    "[json.exception.parse_error.101] parse error at line 1, column 8: syntax error while parsing "
                    "value - unexpected '}'; expected end of input"},
        PayloadCase{"NumberTooLarge", "[1e999]", PayloadFailure::parse,
                    "[json.exception.out_of_range.406] number overflow parsing '1e999'"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the decoding logs shows the document, but nothing that could be the value
// of login_parameters: neither in the document's lines nor in the JSON library's
// message about a token that is not JSON.
TEST(TokenDecoding, LogsNoLoginParametersValue) {
  const struct {
    const char* name;
    std::string decoded;
    std::vector<std::string> lines;
  } rows[] = {
      {"distributed",
       R"({"login_parameters":"lp=01234","campaign":{"source":"mail","id":"7"}})",
       {R"(Token: [{"campaign":{"id":"7","source":"mail"},"login_parameters":"[redacted]"}])",
        R"(Decoded token: [{"campaign":{"id":"7","source":"mail"},"login_parameters":"[redacted]"}])"}},
      {"no token",
       "",
       {"Token: []",
        "Failed to parse payload data, error [[json.exception.parse_error.101] parse error at line 1, "
        "column 1: syntax error while parsing value - unexpected end of input; expected '[', '{', or "
        "a literal]."}},
      {"control character in the value",
       "{\"login_parameters\":\"lp=0\x01\"}",
       {"Token: [[redacted]]",
        "Failed to parse payload data, error [[json.exception.parse_error.101] parse error at "
        "line 1, column 26: syntax error while parsing value - [redacted]]."}},
      {"bare word",
       R"({"login_parameters":lp=01234})",
       {"Token: [[redacted]]",
        "Failed to parse payload data, error [[json.exception.parse_error.101] parse error at "
        "line 1, column 21: syntax error while parsing value - [redacted]]."}},
      {"number too large",
       R"({"login_parameters":1e999})",
       {"Token: [[redacted]]",
        "Failed to parse payload data, error [[json.exception.out_of_range.406] number overflow parsing [redacted]]."}},
  };
  for (const auto& row : rows) {
    const TokenDecoding decoding = decodeTokenText(kelvra::base::encodeBase64(row.decoded));
    std::vector<std::string> lines;
    for (const LogEntry& line : decoding.lines) lines.push_back(line.text);
    EXPECT_EQ(lines, row.lines) << row.name;
    EXPECT_EQ(decoding.failed, row.lines.size() != 2 || row.lines[1].starts_with("Failed")) << row.name;
  }
}

}  // namespace
