// The login_parameters value taken out of the token and the campaign, in every form
// that logs and reports show them.
#include "base/login_parameters.h"

#include <string>

#include <gtest/gtest.h>

#include "base/base64.h"

using namespace kelvra::base;

TEST(LoginParameters, TheValueReadsRedactedWhereverTheMemberIs) {
  const struct {
    std::string_view name;
    std::string json;
    std::string redacted;
  } rows[] = {
      {"distributed", R"({"login_parameters": "lp=01234", "campaign": {"source": "mail", "id": 7}})",
       R"({"campaign":{"id":7,"source":"mail"},"login_parameters":"[redacted]"})"},
      {"escaped name", R"({"login\u005fparameters":"lp"})", R"({"login_parameters":"[redacted]"})"},
      {"nested values, any depth", R"({"a":[{"login_parameters":{"k":[1,{"login_parameters":2}]}},2],"b":null})",
       R"({"a":[{"login_parameters":"[redacted]"},2],"b":null})"},
      {"duplicates", R"({"login_parameters":1,"x":{},"login_parameters":["lp"]})",
       R"({"login_parameters":"[redacted]","x":{}})"},
      {"other values kept", "[-1,18446744073709551615,1.5,true,false,null,\"\\u0001\\\"\xC3\xA9\",[]]",
       "[-1,18446744073709551615,1.5,true,false,null,\"\\u0001\\\"\xC3\xA9\",[]]"},
      {"64 deep", std::string(64, '[') + std::string(64, ']'), std::string(64, '[') + std::string(64, ']')},
      {"65 deep", std::string(65, '[') + std::string(65, ']'), kRedacted},
      {"the name as a value", R"({"x":"login_parameters"})", R"({"x":"login_parameters"})"},
      {"a zero byte ends the document", std::string("{\"a\":1}\0{\"login_parameters\":\"lp\"}", 32), R"({"a":1})"},
      {"cut short", R"({"login_parameters":"lp=0)", kRedacted},
      {"bare text", "lp=01234", kRedacted},
      {"text after the document", R"({"a":1} lp=01234)", kRedacted},
      {"not UTF-8", "{\"login_parameters\":\"\xC3\"}", kRedacted},
      {"number too large", R"({"login_parameters":1e999})", kRedacted},
      {"empty", "", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(redactLoginParameters(row.json), row.redacted) << row.name;
    EXPECT_EQ(redactEncodedLoginParameters(encodeBase64(row.json)),
              row.redacted == kRedacted || row.json.empty() ? row.redacted : encodeBase64(row.redacted))
        << row.name;
  }
}

TEST(LoginParameters, Base64ThatIsNotBase64OfJsonReadsRedacted) {
  const struct {
    std::string_view base64;
    std::string_view redacted;
  } rows[] = {
      {"e30=", "e30="},
      {"abcde", kRedacted},           // not a multiple of 4
      {"eyJhIjox\r\nfQ", kRedacted},  // garbled by the line break
      {"bHA9MDEyMzQ=", kRedacted},    // "lp=01234"
      {"[redacted]", kRedacted},
  };
  for (const auto& row : rows) EXPECT_EQ(redactEncodedLoginParameters(row.base64), row.redacted) << row.base64;
}
