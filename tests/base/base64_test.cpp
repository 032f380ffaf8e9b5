#include "base/base64.h"

#include <string>

#include <gtest/gtest.h>

using namespace kelvra::base;

namespace {

struct DecodeCase {
  const char* name;
  std::string input;
  std::string output;
};

class Base64Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Base64Decode, FollowsTheLaxRules) {
  std::string output = "previous";
  EXPECT_FALSE(decodeBase64(GetParam().input, output));
  EXPECT_EQ(output, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Base64Decode,
    ::testing::Values(DecodeCase{"Empty", "", ""}, DecodeCase{"JsonTokenWithTwoPads", "eyJhIjoxfQ==", "{\"a\":1}"},
                      DecodeCase{"FullGroups", "YWJj", "abc"}, DecodeCase{"OnePadShortensByOne", "YWI=", "ab"},
                      DecodeCase{"TwoPadsShortenByTwo", "YQ==", "a"},
                      DecodeCase{"PadInsideCountsAsZeroBits", "Y=Jj", std::string("`\x02\x63", 3)},
                      DecodeCase{"PadOnlySecondToLastStillShortens", "YW=j", "a`"},
                      // 64 carries: "A" (0) then "\n" (64) adds one to the first 6 bits.
                      DecodeCase{"LineBreakCarriesIntoTheNextPosition", "A\nAA", std::string("\x04\x00\x00", 3)},
                      DecodeCase{"UrlSafeCharactersAreUnknown", "-_AA", std::string("\x04\x00\x00", 3)},
                      DecodeCase{"HighBytesAreUnknown", "AA\xC3\xA4", std::string("\x00\x10\x40", 3)},
                      DecodeCase{"AllPads", "====", std::string(1, '\0')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Base64DecodeLength, NotAMultipleOfFourIsRefusedAndTheOutputKept) {
  for (const char* input : {"a", "ab=", "eyJhIjoxfQ=", "eyJhIjox\r\nfQ=="}) {
    std::string output = "kept";
    EXPECT_TRUE(decodeBase64(input, output)) << input;
    EXPECT_EQ(output, "kept");
  }
}

TEST(Base64Encode, RoundTripsEveryRemainderAndAllByteValues) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 255u, 256u}) {
    const std::string input = bytes.substr(0, length);
    const std::string text = encodeBase64(input);
    EXPECT_EQ(text.size() % 4, 0u);
    std::string decoded;
    EXPECT_FALSE(decodeBase64(text, decoded));
    EXPECT_EQ(decoded, input) << length;
  }
  EXPECT_EQ(encodeBase64("{\"a\":1}"), "eyJhIjoxfQ==");
}

}  // namespace

TEST(Base64Encode, PadsEveryRemainder) {
  EXPECT_EQ(encodeBase64(""), "");
  EXPECT_EQ(encodeBase64("f"), "Zg==");
  EXPECT_EQ(encodeBase64("fo"), "Zm8=");
  EXPECT_EQ(encodeBase64("foo"), "Zm9v");
  EXPECT_EQ(encodeBase64("\xff\xfe\xfd"), "//79");
}
