// JSON string content escaped by hand, where a whole document would be too much.
#include "base/json_text.h"

#include <string_view>

#include <gtest/gtest.h>

using namespace kelvra::base;

TEST(JsonText, EscapesQuotesBackslashesAndControlCharacters) {
  const struct {
    std::string_view text;
    std::string_view escaped;
  } rows[] = {
      {"say \"hi\"\\\n\x01 Bj\xc3\xb6rn", "say \\\"hi\\\"\\\\\\n\\u0001 Bj\xc3\xb6rn"},
      {"\r\n\t\b\f", "\\r\\n\\t\\b\\f"},
      {std::string_view("\0", 1), "\\u0000"},
      {"\x1f \x7f", "\\u001f \x7f"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(jsonStringContent(row.text), row.escaped) << row.text;
  }
}
