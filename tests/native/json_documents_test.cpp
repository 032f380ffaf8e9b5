// The two JSON steps: the allowed version in remoteconfig.json and the decoded
// token written back compactly. Messages are the JSON library's own.
#include <gtest/gtest.h>

#include <string>

#include "remoteconfig/remote_config_document.h"
#include "token/token_payload.h"

namespace {

struct VersionCase {
  const char* name;
  std::string text;
  VersionFailure failure;
  std::string result;
};

class AllowedVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(AllowedVersion, IsTheStringAtContentWindowsVersion) {
  const VersionReading reading = readAllowedVersion(GetParam().text.c_str());
  EXPECT_EQ(reading.failure, GetParam().failure);
  EXPECT_EQ(reading.text, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, AllowedVersion,
    ::testing::Values(
        VersionCase{"Found", R"({"content":{"windows":{"version":"2.0.7","url":"x"}},"other":1})" "\r\n",
                    VersionFailure::none, "2.0.7"},
        VersionCase{"NullContentCountsAsEmpty", R"({"content":null})", VersionFailure::type,
                    "[json.exception.type_error.302] type must be string, but is null"},
        VersionCase{"WindowsIsAString", R"({"content":{"windows":"2.0.7"}})", VersionFailure::type,
                    "[json.exception.type_error.305] cannot use operator[] with a string argument with string"},
        VersionCase{"TextAfterTheDocument", "{} x", VersionFailure::parse,
                    "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while parsing "
                    "value - invalid literal; last read: '{} x'; expected end of input"},
        VersionCase{"NumberTooLargeIsAParseFailure", R"({"content":{"windows":{"version":"1","n":1e400}}})",
                    VersionFailure::parse, "[json.exception.out_of_range.406] number overflow parsing '1e400'"}),
    [](const auto& info) { return std::string(info.param.name); });

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
        PayloadCase{"KeysInByteOrder",
                    R"({"login_parameters":"lp=1","campaign":{"source":"mail","Medium":"x","b":[1,2]}})",
                    PayloadFailure::none,
                    R"({"campaign":{"Medium":"x","b":[1,2],"source":"mail"},"login_parameters":"lp=1"})"},
        PayloadCase{"WhiteSpaceDroppedUtf8Kept", "{ \"campaign\" : { \"name\" : \"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\" } }\n",
                    PayloadFailure::none, "{\"campaign\":{\"name\":\"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\"}}"},
        PayloadCase{"EscapesAsJsonRequires", R"({"q":"a\"b\u0001\/"})", PayloadFailure::none,
                    R"({"q":"a\"b\u0001/"})"},
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

}  // namespace
