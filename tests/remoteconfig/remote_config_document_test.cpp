// The allowed version in remoteconfig.json. Messages are the JSON library's own.
#include "remoteconfig/remote_config_document.h"

#include <string>

#include <gtest/gtest.h>

using namespace kelvra::remoteconfig;

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
        VersionCase{"Found",
                    R"({"content":{"windows":{"version":"2.0.7","url":"x"}},"other":1})"
                    "\r\n",
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

}  // namespace
