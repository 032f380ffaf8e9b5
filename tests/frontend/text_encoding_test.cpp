#include "core/text_encoding.h"

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

TEST(TextEncoding, UrlEncodingKeepsOnlyTheUnreservedCharacters) {
  EXPECT_EQ(urlEncode("a+b/c= d~\xc3\xa9"), "a%2bb%2fc%3d+d%7e%c3%a9");
  EXPECT_EQ(urlEncode("-_.!*()"), "-_.!*()");
}
