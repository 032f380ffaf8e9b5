#include "base/utf8.h"

#include <gtest/gtest.h>

using namespace kelvra::base;

TEST(Utf8, ConvertsEveryPlaneAndRoundTrips) {
  const std::wstring text = L"Bj\u00f6rn \u0424\u0451\u0434\u043e\u0440 \u5b89\u88c5 \U0001F600";
  const std::string utf8 = toUtf8(text);
  EXPECT_EQ(utf8, "Bj\xc3\xb6rn \xd0\xa4\xd1\x91\xd0\xb4\xd0\xbe\xd1\x80 \xe5\xae\x89\xe8\xa3\x85 \xf0\x9f\x98\x80");
  EXPECT_EQ(fromUtf8(utf8), text);
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
  std::wstring text = L"a";
  text += static_cast<wchar_t>(0xD800);
  text += L"b";
  text += static_cast<wchar_t>(0xDC00);
  EXPECT_EQ(toUtf8(text),
            "a\xef\xbf\xbd"
            "b\xef\xbf\xbd");
}

TEST(Utf8, MalformedInputNeverOverrunsAndIsReplaced) {
  EXPECT_EQ(fromUtf8("\xc3"), L"\uFFFD");                      // cut short at the end
  EXPECT_EQ(fromUtf8("\xc0\xaf"), L"\uFFFD\uFFFD");            // overlong form
  EXPECT_EQ(fromUtf8("\xed\xa0\x80"), L"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(fromUtf8(std::string("x\0y", 3)), std::wstring(L"x\0y", 3));
}
